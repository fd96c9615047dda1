// The helpers every server test stands on: if a fresh database is not fresh, or
// the silent port answers, the adapter tests would prove nothing.
#include "support/TestServers.h"

#include <QFileInfo>
#include <QtTest>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace brivel::test;

namespace {

// Connects to 127.0.0.1:port; returns the socket or -1 with errno set.
int ConnectLoopback(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        const int e = errno;
        ::close(fd);
        errno = e;
        return -1;
    }
    return fd;
}

// Creates a fresh database of `kind` and runs `sql` on it.
Outcome FreshAndRun(const QString& kind, const QString& sql, QString* output, QString* where = nullptr)
{
    if (kind == QLatin1String("pg")) {
        PgServer s;
        QString db;
        if (auto o = ReadPgServer(s); !o)
            return o;
        if (auto o = CreatePgDatabase(s, db); !o)
            return o;
        if (where)
            *where = db;
        return RunPgSql(s, db, sql, output);
    }
    if (kind == QLatin1String("mariadb")) {
        MariaDbServer s;
        QString db;
        if (auto o = ReadMariaDbServer(s); !o)
            return o;
        if (auto o = CreateMariaDbDatabase(s, db); !o)
            return o;
        if (where)
            *where = db;
        return RunMariaDbSql(s, db, sql, output);
    }
    FbServer s;
    QString path;
    if (auto o = ReadFbServer(s); !o)
        return o;
    if (auto o = CreateFbDatabase(s, path); !o)
        return o;
    if (where)
        *where = path;
    return RunFbSql(s, path, sql, output);
}

} // namespace

class TestServersTest : public QObject {
    Q_OBJECT
private slots:
    void freshDatabaseIsEmptyAndWritable_data();
    void freshDatabaseIsEmptyAndWritable();
    void failingSqlIsReported_data();
    void failingSqlIsReported();
    void pgDatabaseIsOwnedByTheTestRole();
    void fbDatabaseFileIsInTheDataFolder();
    void missingVariableNamesTheScript();
    void silentServerAcceptsAndSaysNothing();
    void freePortRefuses();
};

void TestServersTest::freshDatabaseIsEmptyAndWritable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("sql");
    // Counts the user tables, then writes and reads back non-ASCII text.
    QTest::newRow("PostgreSQL") << "pg"
                                << "SELECT count(*) FROM information_schema.tables WHERE table_schema = 'public';\n"
                                   "CREATE TABLE t (v varchar(20));\nINSERT INTO t VALUES ('ação');\n"
                                   "SELECT v FROM t;";
    QTest::newRow("MariaDB") << "mariadb"
                             << "SELECT count(*) FROM information_schema.tables WHERE table_schema = DATABASE();\n"
                                "CREATE TABLE t (v varchar(20));\nINSERT INTO t VALUES ('ação');\nSELECT v FROM t;";
    QTest::newRow("Firebird") << "fb"
                              << "SELECT count(*) FROM rdb$relations WHERE rdb$system_flag = 0;\n"
                                 "CREATE TABLE t (v varchar(20));\nCOMMIT;\nINSERT INTO t VALUES ('ação');\n"
                                 "SELECT v FROM t;";
}

void TestServersTest::freshDatabaseIsEmptyAndWritable()
{
    QFETCH(QString, kind);
    QFETCH(QString, sql);
    QString first, second, output;
    BRIVEL_REQUIRE(FreshAndRun(kind, sql, &output, &first));
    QCOMPARE(output, QStringLiteral("0\nação"));
    // A second call gives another, again empty, database.
    BRIVEL_REQUIRE(FreshAndRun(kind, sql, &output, &second));
    QCOMPARE(output, QStringLiteral("0\nação"));
    QVERIFY(first != second);
}

void TestServersTest::failingSqlIsReported_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("serverText");
    QTest::newRow("PostgreSQL") << "pg" << "nao_existe";
    QTest::newRow("MariaDB") << "mariadb" << "nao_existe";
    QTest::newRow("Firebird") << "fb" << "NAO_EXISTE";
}

void TestServersTest::failingSqlIsReported()
{
    QFETCH(QString, kind);
    QFETCH(QString, serverText);
    QString output;
    const Outcome o = FreshAndRun(kind, QStringLiteral("SELECT 1 FROM nao_existe;"), &output);
    QVERIFY(!o.ok);
    QVERIFY2(o.message.contains(serverText), qPrintable(o.message));
}

void TestServersTest::pgDatabaseIsOwnedByTheTestRole()
{
    PgServer pg;
    BRIVEL_REQUIRE(ReadPgServer(pg));
    QString db, owner;
    BRIVEL_REQUIRE(CreatePgDatabase(pg, db));
    BRIVEL_REQUIRE(RunPgSql(pg, db,
                            QStringLiteral("SELECT pg_get_userbyid(datdba) FROM pg_database WHERE datname = '%1';").arg(db),
                            &owner));
    QCOMPARE(owner, pg.user);
}

void TestServersTest::fbDatabaseFileIsInTheDataFolder()
{
    FbServer fb;
    BRIVEL_REQUIRE(ReadFbServer(fb));
    QString path;
    BRIVEL_REQUIRE(CreateFbDatabase(fb, path));
    QVERIFY2(QFileInfo(path).isFile(), qPrintable(path));
    QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(fb.dataDir).absoluteFilePath());
}

void TestServersTest::missingVariableNamesTheScript()
{
    const QByteArray saved = qgetenv("BRIVEL_TEST_PG_HOST");
    qunsetenv("BRIVEL_TEST_PG_HOST");
    PgServer pg;
    const Outcome o = ReadPgServer(pg);
    if (!saved.isNull())
        qputenv("BRIVEL_TEST_PG_HOST", saved);
    QVERIFY(!o.ok);
    QVERIFY2(o.message.contains(QLatin1String("BRIVEL_TEST_PG_HOST")), qPrintable(o.message));
    QVERIFY2(o.message.contains(QLatin1String("scripts/test-servers.sh")), qPrintable(o.message));
}

void TestServersTest::silentServerAcceptsAndSaysNothing()
{
    SilentServer silent;
    QVERIFY(silent.port() != 0);
    const int fd = ConnectLoopback(silent.port());
    QVERIFY2(fd >= 0, strerror(errno));
    char byte;
    const ssize_t n = ::recv(fd, &byte, 1, MSG_DONTWAIT);
    const int e = errno;
    ::close(fd);
    // Neither data nor a closed connection: the client is left waiting.
    QCOMPARE(n, ssize_t(-1));
    QVERIFY(e == EAGAIN || e == EWOULDBLOCK);
}

void TestServersTest::freePortRefuses()
{
    const quint16 port = FreePort();
    QVERIFY(port != 0);
    const int fd = ConnectLoopback(port);
    const int e = errno;
    QCOMPARE(fd, -1);
    QCOMPARE(e, ECONNREFUSED);
}

QTEST_GUILESS_MAIN(TestServersTest)
#include "test_test_servers.moc"
