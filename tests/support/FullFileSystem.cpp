#include "support/FullFileSystem.h"

#include <QProcess>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace brivel::test {

FullFileSystem::FullFileSystem()
{
    QProcess p;
    p.start(QStringLiteral("mount"),
            {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), QStringLiteral("size=256k,mode=0755"),
             QStringLiteral("tmpfs"), folder_.path()});
    ok_ = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok_)
        error_ = QStringLiteral("mount tmpfs: ") + QString::fromLocal8Bit(p.readAllStandardError()) + p.errorString();
}

FullFileSystem::~FullFileSystem()
{
    if (ok_)
        QProcess::execute(QStringLiteral("umount"), {folder_.path()});
}

bool FullFileSystem::fill()
{
    const QByteArray name = folder_.file(QStringLiteral("enchimento")).toLocal8Bit();
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    // Big pieces first, then single bytes for what is left of the last page.
    static const char block[4096] = {};
    bool full = false;
    for (size_t size : {sizeof block, size_t(1)}) {
        for (;;) {
            const ssize_t n = ::write(fd, block, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                full = errno == ENOSPC;
                break;
            }
        }
    }
    ::close(fd);
    return full;
}

} // namespace brivel::test
