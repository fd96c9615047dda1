#pragma once
// The throwaway servers of scripts/test-servers.sh, reached through their own
// command-line clients (psql, mariadb, isql-fb) so that setting up and checking
// a database never depends on the code under test.
//
//   PgServer pg;
//   BRIVEL_REQUIRE(ReadPgServer(pg));            // fails the test without the servers
//   QString db;
//   BRIVEL_REQUIRE(CreatePgDatabase(pg, db));    // a fresh, empty database
//   QString out;
//   BRIVEL_REQUIRE(RunPgSql(pg, db, "SELECT count(*) FROM t", &out));
//   QCOMPARE(out, QString("1"));

#include <QString>
#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

namespace brivel::test {

// What a helper did: ok, or a message saying what went wrong.
struct Outcome {
    bool ok = true;
    QString message;
    explicit operator bool() const { return ok; }
    static Outcome Fail(const QString& message) { return {false, message}; }
};

// Fails the calling test function (QFAIL) with the outcome's message.
#define BRIVEL_REQUIRE(expr)                                                                       \
    do {                                                                                           \
        const ::brivel::test::Outcome brivelOutcome_ = (expr);                                     \
        if (!brivelOutcome_.ok)                                                                    \
            QFAIL(qPrintable(brivelOutcome_.message));                                             \
    } while (false)

// Output of the Run*Sql helpers: one line per row, each trimmed, no trailing
// line break. psql separates columns with "|", mariadb with a tab, isql-fb with
// its own padding.

struct PgServer {
    QString host, port, user, password, database, socketDir;
};
Outcome ReadPgServer(PgServer& out);
// A new empty database owned by the test role.
Outcome CreatePgDatabase(const PgServer& server, QString& name);
Outcome RunPgSql(const PgServer& server, const QString& database, const QString& sql, QString* output = nullptr);

struct MariaDbServer {
    QString host, port, user, password, socket;
};
Outcome ReadMariaDbServer(MariaDbServer& out);
// A new empty utf8mb4 database.
Outcome CreateMariaDbDatabase(const MariaDbServer& server, QString& name);
Outcome RunMariaDbSql(const MariaDbServer& server, const QString& database, const QString& sql,
                      QString* output = nullptr);

struct FbServer {
    QString host, port, user, password, dataDir;
};
Outcome ReadFbServer(FbServer& out);
// A new empty database file in dataDir, created through the server; `path` is the file.
Outcome CreateFbDatabase(const FbServer& server, QString& path, const QString& charset = QStringLiteral("UTF8"));
// Runs the statements (each ending with ";") and commits.
Outcome RunFbSql(const FbServer& server, const QString& path, const QString& sql, QString* output = nullptr,
                 const QString& charset = QStringLiteral("UTF8"));
// "HOST/PORT:PATH", as the Firebird client takes it.
QString FbConnectionString(const FbServer& server, const QString& path);

// The folder holding an odbcinst.ini that registers "ODBC Driver 17 for SQL Server".
Outcome ReadOdbcSysIni(QString& dir);

// A loopback port that accepts connections and never answers, for timeouts.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    // 0 when the socket could not be set up.
    quint16 port() const { return port_; }

private:
    void run();

    int listener_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::vector<int> accepted_;
    std::thread thread_;
};

// A loopback port where nothing listens (a connection is refused); 0 on failure.
quint16 FreePort();

} // namespace brivel::test
