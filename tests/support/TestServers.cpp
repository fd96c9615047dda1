#include "support/TestServers.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace brivel::test {

namespace {

Outcome ReadVars(std::initializer_list<std::pair<const char*, QString*>> vars)
{
    for (const auto& [name, target] : vars) {
        *target = qEnvironmentVariable(name);
        if (target->isEmpty())
            return Outcome::Fail(QStringLiteral("%1 is not set: start the test servers with "
                                                "scripts/test-servers.sh start DIR and load DIR/servers.env "
                                                "(set -a; . DIR/servers.env), or run scripts/test.sh")
                                     .arg(QLatin1String(name)));
    }
    return {};
}

QString UniqueName()
{
    return QStringLiteral("brivel_t_%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
}

QString Tidy(const QByteArray& raw)
{
    QStringList rows;
    for (const QString& line : QString::fromUtf8(raw).split(QLatin1Char('\n'))) {
        const QString row = line.trimmed();
        if (!row.isEmpty())
            rows << row;
    }
    return rows.join(QLatin1Char('\n'));
}

// Runs a client with `input` on its standard input; the passwords travel in `env`.
Outcome RunClient(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                  const QString& input, QString* output)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForStarted(30000))
        return Outcome::Fail(QStringLiteral("%1 did not start: %2").arg(program, p.errorString()));
    p.write(input.toUtf8());
    p.closeWriteChannel();
    // A guard against a hung client, not a measurement.
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return Outcome::Fail(QStringLiteral("%1 did not finish").arg(program));
    }
    const QByteArray out = p.readAllStandardOutput();
    const QByteArray err = p.readAllStandardError();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return Outcome::Fail(QStringLiteral("%1 failed (exit %2): %3%4")
                                 .arg(program)
                                 .arg(p.exitCode())
                                 .arg(QString::fromUtf8(err).trimmed(), QString::fromUtf8(out).trimmed()));
    // isql-fb reports a failed statement on stderr and may still exit with 0.
    if (!err.trimmed().isEmpty() && program == QLatin1String("isql-fb"))
        return Outcome::Fail(QStringLiteral("isql-fb: %1").arg(QString::fromUtf8(err).trimmed()));
    if (output)
        *output = Tidy(out);
    return {};
}

QString QuoteFb(const QString& text)
{
    QString t = text;
    return QLatin1Char('\'') + t.replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

} // namespace

// ---------------------------------------------------------------- PostgreSQL

Outcome ReadPgServer(PgServer& out)
{
    return ReadVars({{"BRIVEL_TEST_PG_HOST", &out.host},
                     {"BRIVEL_TEST_PG_PORT", &out.port},
                     {"BRIVEL_TEST_PG_USER", &out.user},
                     {"BRIVEL_TEST_PG_PASSWORD", &out.password},
                     {"BRIVEL_TEST_PG_DB", &out.database},
                     {"BRIVEL_TEST_PG_SOCKET_DIR", &out.socketDir}});
}

Outcome RunPgSql(const PgServer& server, const QString& database, const QString& sql, QString* output)
{
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), server.password);
    env.insert(QStringLiteral("PGCLIENTENCODING"), QStringLiteral("UTF8"));
    return RunClient(QStringLiteral("psql"),
                     {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"), QStringLiteral("-t"),
                      QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), server.host,
                      QStringLiteral("-p"), server.port, QStringLiteral("-U"), server.user, QStringLiteral("-d"),
                      database, QStringLiteral("-f"), QStringLiteral("-")},
                     env, sql, output);
}

Outcome CreatePgDatabase(const PgServer& server, QString& name)
{
    name = UniqueName();
    // CREATE DATABASE cannot run inside the implicit transaction of a multi-statement string.
    return RunPgSql(server, server.database, QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8';\n").arg(name));
}

// ------------------------------------------------------------------- MariaDB

Outcome ReadMariaDbServer(MariaDbServer& out)
{
    return ReadVars({{"BRIVEL_TEST_MARIADB_HOST", &out.host},
                     {"BRIVEL_TEST_MARIADB_PORT", &out.port},
                     {"BRIVEL_TEST_MARIADB_USER", &out.user},
                     {"BRIVEL_TEST_MARIADB_PASSWORD", &out.password},
                     {"BRIVEL_TEST_MARIADB_SOCKET", &out.socket}});
}

Outcome RunMariaDbSql(const MariaDbServer& server, const QString& database, const QString& sql, QString* output)
{
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MYSQL_PWD"), server.password);
    QStringList args{QStringLiteral("--no-defaults"), QStringLiteral("--batch"), QStringLiteral("--skip-column-names"),
                     QStringLiteral("--default-character-set=utf8mb4"), QStringLiteral("-h"), server.host,
                     QStringLiteral("-P"), server.port, QStringLiteral("-u"), server.user};
    if (!database.isEmpty())
        args << database;
    return RunClient(QStringLiteral("mariadb"), args, env, sql, output);
}

Outcome CreateMariaDbDatabase(const MariaDbServer& server, QString& name)
{
    name = UniqueName();
    return RunMariaDbSql(server, QString(),
                         QStringLiteral("CREATE DATABASE %1 CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;").arg(name));
}

// ------------------------------------------------------------------ Firebird

Outcome ReadFbServer(FbServer& out)
{
    return ReadVars({{"BRIVEL_TEST_FB_HOST", &out.host},
                     {"BRIVEL_TEST_FB_PORT", &out.port},
                     {"BRIVEL_TEST_FB_USER", &out.user},
                     {"BRIVEL_TEST_FB_PASSWORD", &out.password},
                     {"BRIVEL_TEST_FB_DATA_DIR", &out.dataDir}});
}

QString FbConnectionString(const FbServer& server, const QString& path)
{
    return server.host + QLatin1Char('/') + server.port + QLatin1Char(':') + path;
}

Outcome CreateFbDatabase(const FbServer& server, QString& path, const QString& charset)
{
    path = QDir(server.dataDir).filePath(UniqueName() + QStringLiteral(".fdb"));
    auto env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ISC_USER"));
    env.remove(QStringLiteral("ISC_PASSWORD"));
    const QString sql = QStringLiteral("SET BAIL ON;\nCREATE DATABASE %1 USER %2 PASSWORD %3 PAGE_SIZE 8192 "
                                       "DEFAULT CHARACTER SET %4;\nCOMMIT;\n")
                            .arg(QuoteFb(FbConnectionString(server, path)), QuoteFb(server.user),
                                 QuoteFb(server.password), charset);
    return RunClient(QStringLiteral("isql-fb"), {QStringLiteral("-q")}, env, sql, nullptr);
}

Outcome RunFbSql(const FbServer& server, const QString& path, const QString& sql, QString* output,
                 const QString& charset)
{
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ISC_USER"), server.user);
    env.insert(QStringLiteral("ISC_PASSWORD"), server.password);
    const QString script = QStringLiteral("SET BAIL ON;\nSET HEADING OFF;\n") + sql + QStringLiteral("\nCOMMIT;\n");
    return RunClient(QStringLiteral("isql-fb"),
                     {QStringLiteral("-q"), QStringLiteral("-ch"), charset, FbConnectionString(server, path)}, env,
                     script, output);
}

// ---------------------------------------------------------------------- ODBC

Outcome ReadOdbcSysIni(QString& dir) { return ReadVars({{"BRIVEL_TEST_ODBCSYSINI", &dir}}); }

// ------------------------------------------------------------------- sockets

namespace {
int LoopbackListener(quint16& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}
} // namespace

SilentServer::SilentServer()
{
    listener_ = LoopbackListener(port_);
    if (listener_ < 0 || ::listen(listener_, 16) != 0) {
        if (listener_ >= 0)
            ::close(listener_);
        listener_ = -1;
        port_ = 0;
        return;
    }
    thread_ = std::thread([this] { run(); });
}

SilentServer::~SilentServer()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    for (int fd : accepted_)
        ::close(fd);
    if (listener_ >= 0)
        ::close(listener_);
}

void SilentServer::run()
{
    // Accepts and keeps every connection without reading or writing a byte.
    while (!stop_) {
        pollfd pfd{listener_, POLLIN, 0};
        if (::poll(&pfd, 1, 50) > 0) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                accepted_.push_back(fd);
        }
    }
}

quint16 FreePort()
{
    quint16 port = 0;
    const int fd = LoopbackListener(port);
    if (fd < 0)
        return 0;
    // Bound but never listening: nothing accepts there, and closing frees it.
    ::close(fd);
    return port;
}

} // namespace brivel::test
