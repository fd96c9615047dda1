// The PostgreSQL adapter against the throwaway server: connecting, the messages
// of a failed connection, and what only PostgreSQL does to a transaction.
#include "support/DbFixtures.h"

#include "db/Connection.h"
#include "support/TestServers.h"

#include <QtTest>

using namespace brivel;
using namespace brivel::test;

class PostgresTest : public QObject {
    Q_OBJECT
private slots:
    void openAndClose();
    void openFailure_data();
    void openFailure();
    void unresponsiveServerGivesUp();
    void commitAfterFailedStatementRaises();
};

void PostgresTest::openAndClose()
{
    PgServer s;
    BRIVEL_REQUIRE(ReadPgServer(s));
    // The page hands over server and port untrimmed.
    s.host = QStringLiteral(" %1\t").arg(s.host);
    s.port = QStringLiteral(" %1 ").arg(s.port);
    db::Connection c;
    DefinePg(c, s, s.database, s.password);
    BRIVEL_OK(c.open());
    QVERIFY(c.connected());
    BRIVEL_OK(c.open()); // already open: nothing happens
    c.close();
    QVERIFY(!c.connected());
    c.close();
    // The definition survives the close.
    BRIVEL_OK(c.open());
    QVERIFY(c.connected());
}

void PostgresTest::openFailure_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("serverText");
    QTest::newRow("wrong password") << "password" << "password authentication failed";
    QTest::newRow("unknown database") << "database" << "does not exist";
    QTest::newRow("refused port") << "port" << "refused";
    // Typed text is one value, never read as more connection keywords.
    QTest::newRow("keywords typed as database") << "keywords" << "does not exist";
}

void PostgresTest::openFailure()
{
    QFETCH(QString, what);
    QFETCH(QString, serverText);
    PgServer s;
    BRIVEL_REQUIRE(ReadPgServer(s));
    QString password = s.password;
    QString database = s.database;
    if (what == QLatin1String("password"))
        password = QStringLiteral("Senha-Errada-42");
    else if (what == QLatin1String("database"))
        database = QStringLiteral("brivel_nao_existe");
    else if (what == QLatin1String("port"))
        s.port = QString::number(FreePort());
    else
        database = QStringLiteral("dbname=%1 host=%2").arg(s.database, s.host);

    db::Connection c;
    DefinePg(c, s, database, password);
    const QString message = ErrorOf([&] { c.open(); });
    QVERIFY2(!message.isNull(), "the connection opened");
    QVERIFY(!c.connected());
    QVERIFY2(message.contains(serverText), qPrintable(message));
    QVERIFY2(!message.contains(password), qPrintable(message));
}

void PostgresTest::unresponsiveServerGivesUp()
{
    // Accepts the connection and never answers: the connect bound ends it, and the
    // line after the text names the address that did not answer.
    PgServer s;
    BRIVEL_REQUIRE(ReadPgServer(s));
    SilentServer silent;
    QVERIFY(silent.port() != 0);
    s.port = QString::number(silent.port());
    db::Connection c;
    DefinePg(c, s, s.database, s.password);
    const QString message = ErrorOf([&] { c.open(); });
    QVERIFY2(!message.isNull(), "the connection opened");
    QVERIFY(!c.connected());
    QCOMPARE(message, QStringLiteral("PostgreSQL: o servidor não respondeu em 10 segundos.\r\nCausa provável: o "
                                     "servidor em %1:%2 não respondeu a tempo. Confira o endereço, a porta e se um "
                                     "firewall bloqueia a conexão.")
                          .arg(s.host, s.port));
}

void PostgresTest::commitAfterFailedStatementRaises()
{
    // The server answers COMMIT of a failed transaction with a rollback and no error.
    PgServer s;
    BRIVEL_REQUIRE(ReadPgServer(s));
    QString database, rows;
    BRIVEL_REQUIRE(CreatePgDatabase(s, database));
    db::Connection c;
    DefinePg(c, s, database, s.password);
    BRIVEL_OK(c.open());
    BRIVEL_OK(c.execSQL("CREATE TABLE t (v INTEGER)"));
    BRIVEL_OK(c.startTransaction());
    BRIVEL_OK(c.execSQL("INSERT INTO t VALUES (1)"));
    QVERIFY(!ErrorOf([&] { c.execSQL("INSERT INTO t VALUES ('x')"); }).isNull());
    QVERIFY(c.inTransaction());
    QVERIFY(!ErrorOf([&] { c.commit(); }).isNull());
    QVERIFY(!c.inTransaction());
    BRIVEL_REQUIRE(RunPgSql(s, database, QStringLiteral("SELECT count(*) FROM t;"), &rows));
    QCOMPARE(rows, QStringLiteral("0"));
}

QTEST_GUILESS_MAIN(PostgresTest)
#include "test_postgres.moc"
