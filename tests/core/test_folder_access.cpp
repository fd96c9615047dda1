// Whether configApi.ini can be written into a folder, found at start-up without
// touching what is there.
#include "core/FolderAccess.h"
#include "support/ReadOnlyFolder.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace brivel;

namespace {

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// The check's answer in a child process run as "nobody" (when we are root): what
// an ordinary user meets in a folder of root's.
QString ProblemAsNobody(const QString& folder)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return QStringLiteral("pipe failed");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::string answer = "could not become nobody";
        if (::geteuid() != 0 || (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0))
            answer = "<" + ConfigFolderWriteProblem(folder.toStdString()) + ">";
        const ssize_t n = ::write(fds[1], answer.data(), answer.size());
        ::_exit(n == static_cast<ssize_t>(answer.size()) ? 0 : 1);
    }
    ::close(fds[1]);
    QByteArray out;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    const QString text = QString::fromUtf8(out);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !text.startsWith(u'<'))
        return QStringLiteral("child failed: ") + text;
    return text.mid(1, text.size() - 2);
}

} // namespace

class FolderAccessTest : public QObject {
    Q_OBJECT
private slots:
    // A folder the program may write: no problem, and an existing file keeps its
    // bytes and time, with nothing left beside it.
    void writableFolder_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::newRow("no configApi.ini yet") << false;
        QTest::newRow("configApi.ini there") << true;
    }
    void writableFolder()
    {
        QFETCH(bool, existing);
        test::TempFolder tmp;
        const QByteArray bytes("[BANCO]\r\nTipo=SQLITE\r\n");
        QDateTime modified;
        if (existing) {
            tmp.write(QStringLiteral("configApi.ini"), bytes);
            const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
            QFile f(tmp.file(QStringLiteral("configApi.ini")));
            QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(old, QFileDevice::FileModificationTime));
            f.close();
            modified = QFileInfo(f.fileName()).lastModified();
        }

        QCOMPARE(QString::fromStdString(ConfigFolderWriteProblem(tmp.path().toStdString())), QString());

        QCOMPARE(Entries(tmp.path()), existing ? QStringList{QStringLiteral("configApi.ini")} : QStringList());
        if (existing) {
            QCOMPARE(tmp.read(QStringLiteral("configApi.ini")), bytes);
            QCOMPARE(QFileInfo(tmp.file(QStringLiteral("configApi.ini"))).lastModified(), modified);
        }
    }

    void refused_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("expected");
        QTest::newRow("read-only mount") << "mount" << "o sistema de arquivos é somente leitura (EROFS)";
        QTest::newRow("folder of root, ordinary user") << "nobody" << "permissão negada (EACCES)";
        QTest::newRow("read-only configApi.ini") << "file0444"
                                                 << "o arquivo configApi.ini existente é somente leitura";
        QTest::newRow("folder missing") << "missing" << "a pasta não existe (ENOENT)";
    }
    void refused()
    {
        QFETCH(QString, setup);
        QFETCH(QString, expected);
        test::TempFolder tmp;
        QString folder = tmp.path();
        const QByteArray bytes("[API]\r\nPorta=8080\r\n");
        tmp.write(QStringLiteral("configApi.ini"), bytes);
        std::unique_ptr<test::ReadOnlyFolder> readOnly;
        QString problem;
        if (setup == u"mount") {
            readOnly = std::make_unique<test::ReadOnlyFolder>(folder);
            QVERIFY2(readOnly->ok(), qPrintable(readOnly->error()));
            problem = QString::fromStdString(ConfigFolderWriteProblem(folder.toStdString()));
        } else if (setup == u"nobody") {
            if (::geteuid() != 0)
                QVERIFY(::chmod(folder.toLocal8Bit().constData(), 0555) == 0);
            else
                QVERIFY(::chmod(folder.toLocal8Bit().constData(), 0755) == 0);
            problem = ProblemAsNobody(folder);
            ::chmod(folder.toLocal8Bit().constData(), 0700);
        } else if (setup == u"file0444") {
            QVERIFY(::chmod(tmp.file(QStringLiteral("configApi.ini")).toLocal8Bit().constData(), 0444) == 0);
            problem = QString::fromStdString(ConfigFolderWriteProblem(folder.toStdString()));
        } else {
            folder += QStringLiteral("não existe/");
            problem = QString::fromStdString(ConfigFolderWriteProblem(folder.toStdString()));
        }
        readOnly.reset();

        QCOMPARE(problem, expected);
        QCOMPARE(Entries(tmp.path()), QStringList{QStringLiteral("configApi.ini")});
        QCOMPARE(tmp.read(QStringLiteral("configApi.ini")), bytes);
    }
};

QTEST_GUILESS_MAIN(FolderAccessTest)
#include "test_folder_access.moc"
