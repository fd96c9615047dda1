// The MySQL/MariaDB adapter against the throwaway MariaDB server; every check of
// what reached the database goes through the mariadb client, not the adapter.
#include "core/Error.h"
#include "db/AdapterFactories.h"
#include "db/Connection.h"
#include "db/ConnectionSetup.h"
#include "support/TestServers.h"
#include "support/ErrorOf.h"

#include <QtTest>

using namespace brivel;
using namespace brivel::test;

namespace {

const char* const kExistenceQuery = "SELECT COUNT(*) QTD FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = "
                                    "DATABASE() AND UPPER(TABLE_NAME) = UPPER(:TABELA)";

std::string S(const QString& s) { return s.toStdString(); }

ConnectionDefinition Definition(const MariaDbServer& server, const QString& database)
{
    ConnectionDefinition def;
    def.setDriverID("MySQL");
    def.set("DriverID", "MySQL");
    def.set("Server", S(server.host));
    def.set("Port", S(server.port));
    def.set("Database", S(database));
    def.set("User_Name", S(server.user));
    def.set("Password", S(server.password));
    def.set("CharacterSet", "utf8mb4");
    return def;
}

using brivel::test::ErrorOf;

using db::Define;

} // namespace

class MySqlAdapterTest : public QObject {
    Q_OBJECT

private:
    MariaDbServer server_;
    QString database_;
    db::Connection conn_;

    // A fresh database and an open connection to it.
    bool fresh()
    {
        if (auto o = ReadMariaDbServer(server_); !o) {
            QTest::qFail(qPrintable(o.message), __FILE__, __LINE__);
            return false;
        }
        if (auto o = CreateMariaDbDatabase(server_, database_); !o) {
            QTest::qFail(qPrintable(o.message), __FILE__, __LINE__);
            return false;
        }
        Define(conn_, Definition(server_, database_));
        conn_.open();
        return true;
    }

    QString count(const QString& table)
    {
        QString out;
        if (auto o = RunMariaDbSql(server_, database_, "SELECT COUNT(*) FROM " + table + ";", &out); !o)
            return o.message;
        return out;
    }

private slots:
    void cleanup() { conn_.close(); }

    void opensAndCloses()
    {
        if (!fresh())
            return;
        QVERIFY(conn_.connected());
        QVERIFY(!conn_.inTransaction());
        conn_.close();
        QVERIFY(!conn_.connected());
        conn_.close();
        QCOMPARE(conn_.definition().value("Database"), S(database_));
        conn_.open();
        QVERIFY(conn_.connected());
        QCOMPARE(conn_.queryInt(kExistenceQuery, "TABELA", "API_CONFIG", "QTD"), 0LL);
    }

    void opensWithTypedTexts_data()
    {
        QTest::addColumn<QString>("serverText");
        QTest::addColumn<QString>("portText");
        QTest::newRow("blanks around server and port") << "  %1 " << " %2  ";
        QTest::newRow("port with plus sign") << "%1" << "+%2";
    }

    // The page passes its texts untrimmed; what it accepts must open.
    void opensWithTypedTexts()
    {
        QFETCH(QString, serverText);
        QFETCH(QString, portText);
        BRIVEL_REQUIRE(ReadMariaDbServer(server_));
        BRIVEL_REQUIRE(CreateMariaDbDatabase(server_, database_));
        ConnectionDefinition def = Definition(server_, database_);
        def.set("Server", S(serverText.arg(server_.host)));
        def.set("Port", S(portText.arg(server_.port)));
        auto adapter = db::CreateMySqlAdapter();
        const QString message = ErrorOf([&] { adapter->open(def); });
        QVERIFY2(message.isNull(), qPrintable(message));
        QVERIFY(adapter->isOpen());
        adapter->close();
        QVERIFY(!adapter->isOpen());
    }

    void openFailsWithMessage_data()
    {
        QTest::addColumn<QString>("param");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("wrong password") << "Password" << "Errada-Senha-4821" << "Access denied";
        QTest::newRow("unknown database") << "Database" << "nao_existe_brivel" << "nao_existe_brivel";
        QTest::newRow("refused port") << "Port" << QString::number(FreePort()) << "Can't connect";
        QTest::newRow("unknown host") << "Server" << "host.invalid" << "host.invalid";
        QTest::newRow("port not a number") << "Port" << "33o6" << "Porta inválida";
        QTest::newRow("port out of range") << "Port" << "65536" << "Porta inválida";
    }

    // Straight on the adapter: the connection's own scrubbing must not be what hides the password.
    void openFailsWithMessage()
    {
        QFETCH(QString, param);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        BRIVEL_REQUIRE(ReadMariaDbServer(server_));
        BRIVEL_REQUIRE(CreateMariaDbDatabase(server_, database_));
        ConnectionDefinition def = Definition(server_, database_);
        def.set(S(param), S(value));
        const std::string password = def.value("Password");

        auto adapter = db::CreateMySqlAdapter();
        const QString message = ErrorOf([&] { adapter->open(def); });
        QVERIFY2(!message.isNull(), "open succeeded");
        QVERIFY2(message.contains(expected), qPrintable(message));
        QVERIFY2(!message.contains(QString::fromStdString(password)), qPrintable(message));
        QVERIFY(!adapter->isOpen());
    }

    void openGivesUpOnSilentServer()
    {
        BRIVEL_REQUIRE(ReadMariaDbServer(server_));
        SilentServer silent;
        QVERIFY(silent.port() != 0);
        ConnectionDefinition def = Definition(server_, "mysql");
        def.set("Port", std::to_string(silent.port()));
        auto adapter = db::CreateMySqlAdapter();
        const QString message = ErrorOf([&] { adapter->open(def); });
        QVERIFY2(!message.isEmpty(), "open succeeded or gave no message");
        QVERIFY(!adapter->isOpen());
    }

    void executesAndReportsServerErrors()
    {
        if (!fresh())
            return;
        conn_.execSQL("CREATE TABLE T (NOME VARCHAR(40))");
        conn_.execSQL("INSERT INTO T VALUES ('a:b')");
        // A statement that returns rows must leave the session usable.
        conn_.execSQL("SELECT * FROM T");
        conn_.execSQL("INSERT INTO T VALUES ('c')");
        QCOMPARE(count("T WHERE NOME = 'a:b'"), QString("1"));
        QCOMPARE(count("T"), QString("2"));

        const QString message = ErrorOf([&] { conn_.execSQL("INSERT INTO API_NAO_EXISTE VALUES (1)"); });
        QVERIFY2(message.contains("API_NAO_EXISTE"), qPrintable(message));
        QVERIFY(conn_.connected());
    }

    void commitsAndRollsBack()
    {
        if (!fresh())
            return;
        conn_.execSQL("CREATE TABLE T (ID INT) ENGINE=InnoDB");

        conn_.startTransaction();
        QVERIFY(conn_.inTransaction());
        conn_.execSQL("INSERT INTO T VALUES (1)");
        QCOMPARE(count("T"), QString("0"));  // another session does not see it yet
        conn_.commit();
        QVERIFY(!conn_.inTransaction());
        QCOMPARE(count("T"), QString("1"));

        conn_.startTransaction();
        conn_.execSQL("INSERT INTO T VALUES (2)");
        conn_.rollback();
        QVERIFY(!conn_.inTransaction());
        QCOMPARE(count("T"), QString("1"));

        // Closing with a transaction open leaves nothing behind.
        conn_.startTransaction();
        conn_.execSQL("INSERT INTO T VALUES (3)");
        conn_.close();
        QVERIFY(!conn_.inTransaction());
        QCOMPARE(count("T"), QString("1"));
    }

    void existenceQuery_data()
    {
        QTest::addColumn<QString>("create");
        QTest::newRow("upper case") << "CREATE TABLE API_CONFIG (ID INT)";
        QTest::newRow("lower case") << "CREATE TABLE api_config (ID INT)";
    }

    void existenceQuery()
    {
        QFETCH(QString, create);
        if (!fresh())
            return;
        BRIVEL_REQUIRE(RunMariaDbSql(server_, database_, "CREATE TABLE API_ROTAS (ID INT);"));
        QCOMPARE(conn_.queryInt(kExistenceQuery, "TABELA", "API_CONFIG", "QTD"), 0LL);
        BRIVEL_REQUIRE(RunMariaDbSql(server_, database_, create + ";"));
        QCOMPARE(conn_.queryInt(kExistenceQuery, "TABELA", "API_CONFIG", "QTD"), 1LL);
        QCOMPARE(conn_.queryInt(kExistenceQuery, "TABELA", "api_config", "qtd"), 1LL);
    }

    void portugueseTextRoundTrip()
    {
        if (!fresh())
            return;
        conn_.execSQL("CREATE TABLE T (NOME VARCHAR(20))");
        conn_.execSQL("INSERT INTO T VALUES ('ação')");
        QString hex;
        BRIVEL_REQUIRE(RunMariaDbSql(server_, database_, "SELECT HEX(NOME) FROM T;", &hex));
        QCOMPARE(hex, QString("61C3A7C3A36F"));
        QCOMPARE(conn_.queryInt("SELECT COUNT(*) QTD FROM T WHERE NOME = :TABELA COLLATE utf8mb4_bin", "TABELA",
                                "ação", "QTD"),
                 1LL);
        QCOMPARE(conn_.queryInt("SELECT COUNT(*) QTD FROM T WHERE NOME = :TABELA COLLATE utf8mb4_bin", "TABELA",
                                "acao", "QTD"),
                 0LL);
    }

    void queryReadsIntegerColumn_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("column");
        QTest::addColumn<qlonglong>("expected");
        QTest::newRow("quoted colon literal")
            << "SELECT COUNT(*) QTD FROM (SELECT 'x:TABELA' AS A, '?' AS B) S WHERE A <> :TABELA" << "QTD" << 1LL;
        QTest::newRow("column among others") << "SELECT 'a' A, :TABELA B, 42 Qtd, 'z' C" << "qtd" << 42LL;
        QTest::newRow("big integer") << "SELECT CAST(9007199254740993 AS SIGNED) QTD FROM DUAL WHERE :TABELA = 'x'"
                                     << "QTD" << 9007199254740993LL;
        QTest::newRow("negative int") << "SELECT -7 QTD, LENGTH(:TABELA) L" << "QTD" << -7LL;
    }

    void queryReadsIntegerColumn()
    {
        QFETCH(QString, sql);
        QFETCH(QString, column);
        QFETCH(qlonglong, expected);
        if (!fresh())
            return;
        QCOMPARE(conn_.queryInt(S(sql), "TABELA", "x", S(column)), expected);
    }

    void queryFailsWithMessage_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        // A missing column, no row and NULL: tst_adapter_contract, on every kind.
        QTest::newRow("server error") << "SELECT COUNT(*) QTD FROM API_NAO_EXISTE WHERE X = :TABELA"
                                      << "API_NAO_EXISTE";
    }

    void queryFailsWithMessage()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        if (!fresh())
            return;
        const QString message = ErrorOf([&] { conn_.queryInt(S(sql), "TABELA", "x", "QTD"); });
        QVERIFY2(message.contains(expected), qPrintable(message));
        // The session goes on after a failed query.
        QCOMPARE(conn_.queryInt(kExistenceQuery, "TABELA", "API_CONFIG", "QTD"), 0LL);
    }
};

QTEST_GUILESS_MAIN(MySqlAdapterTest)
#include "tst_mysql_adapter.moc"
