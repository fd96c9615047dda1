// What is particular to the MySQL/MariaDB adapter, against the throwaway MariaDB
// server: the page's texts, open failures straight on the adapter, result sets
// and integer columns. What every adapter promises: test_adapter_contract.cpp.
#include "core/Error.h"
#include "db/AdapterFactories.h"
#include "db/Connection.h"
#include "support/TestServers.h"
#include "support/ErrorOf.h"

#include <QtTest>

using namespace brivel;
using namespace brivel::test;

namespace {

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

void Define(db::Connection& c, const ConnectionDefinition& def)
{
    c.setDriverID(def.driverID());
    for (const auto& [name, value] : def.params())
        c.setParam(name, value);
    c.setLoginPrompt(false);
}

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
        conn_.close();
        conn_.clearParams();
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

    // A statement that returns rows must leave the session usable (the client
    // refuses the next command while a result is unread).
    void statementReturningRowsLeavesSessionUsable()
    {
        if (!fresh())
            return;
        conn_.execSQL("CREATE TABLE T (NOME VARCHAR(40))");
        conn_.execSQL("INSERT INTO T VALUES ('a')");
        conn_.execSQL("SELECT * FROM T");
        conn_.execSQL("INSERT INTO T VALUES ('c')");
        QCOMPARE(count("T"), QString("2"));
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

};

QTEST_GUILESS_MAIN(MySqlAdapterTest)
#include "test_mysql_adapter.moc"
