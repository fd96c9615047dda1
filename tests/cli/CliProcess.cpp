#include "CliProcess.h"

#include "core/DbKind.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace brivel::test {

QStringList CliRun::messages() const
{
    static const QRegularExpression stamp(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d - "));
    QStringList out;
    for (const QString& line : QString::fromUtf8(err).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (line.contains(stamp))
            out << QString(line).remove(stamp);
    return out;
}

QJsonObject CliRun::json() const { return QJsonDocument::fromJson(out).object(); }

Cli::Cli(const TempFolder& folder) : exe_(folder.file(QStringLiteral("setupbriveldb-cli")))
{
    QFile::remove(exe_);
    if (!QFile::copy(QStringLiteral(BRIVEL_CLI), exe_))
        qFatal("could not copy the program into the test folder");
    QFile::setPermissions(exe_, QFile::permissions(exe_) | QFile::ExeOwner);
}

QProcessEnvironment Cli::CleanEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("BRIVEL_SENHA"));
    return env;
}

CliRun Cli::run(const QStringList& args, const QProcessEnvironment& env) const
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(exe_, args);
    CliRun r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.err = "did not end in time";
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

void LinkLibpq(const TempFolder& folder)
{
    const QString built = QFileInfo(QStringLiteral(BRIVEL_BINARY_DIR "/src/libpq.so.5")).symLinkTarget();
    const QString target = built.isEmpty() ? QStringLiteral("/usr/lib/x86_64-linux-gnu/libpq.so.5") : built;
    QFile::remove(folder.file(QStringLiteral("libpq.so.5")));
    QFile::link(target, folder.file(QStringLiteral("libpq.so.5")));
}

QStringList ConnectionArgs(int kind, const QString& server, const QString& port, const QString& database,
                           const QString& user)
{
    QStringList a{QStringLiteral("--tipo"), QString::fromUtf8(ConfigName(static_cast<TTipoBanco>(kind))),
                  QStringLiteral("--banco"), database};
    if (kind == tbSQLite)
        return a;
    return a + QStringList{QStringLiteral("--servidor"), server, QStringLiteral("--porta"), port,
                           QStringLiteral("--usuario"), user};
}

} // namespace brivel::test
