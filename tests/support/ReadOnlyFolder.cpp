#include "support/ReadOnlyFolder.h"

#include <QProcess>

namespace brivel::test {

namespace {
bool Run(const QStringList& args, QString& error)
{
    QProcess p;
    p.start(QStringLiteral("mount"), args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        error = QStringLiteral("mount %1: %2%3")
                    .arg(args.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAllStandardError()),
                         p.errorString());
        return false;
    }
    return true;
}
} // namespace

ReadOnlyFolder::ReadOnlyFolder(const QString& path) : path_(path)
{
    ok_ = Run({QStringLiteral("--bind"), path, path}, error_);
    if (ok_ && !Run({QStringLiteral("-o"), QStringLiteral("remount,ro,bind"), path}, error_)) {
        QProcess::execute(QStringLiteral("umount"), {path});
        ok_ = false;
    }
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (ok_)
        QProcess::execute(QStringLiteral("umount"), {path_});
}

} // namespace brivel::test
