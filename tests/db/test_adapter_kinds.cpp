// Below the contract, what the MySQL/MariaDB and Firebird adapters do on their
// own terms, as tables over the kinds against the throwaway servers: opening
// straight on the adapter (so the connection's scrubbing is not what hides the
// password) with the page's untrimmed texts, failures with the server's text, a
// server that never answers, and integer columns of the kind's own types.
#include "core/ConnectionDefinition.h"
#include "db/AdapterFactories.h"
#include "db/DbAdapter.h"
#include "support/DbFixtures.h"
#include "support/KindTargets.h"

#include <QtTest>

using namespace brivel;
using namespace brivel::test;

namespace {

std::string S(const QString& s) { return s.toStdString(); }

std::unique_ptr<db::DbAdapter> AdapterOf(TTipoBanco kind)
{
    return kind == tbMySQL ? db::CreateMySqlAdapter() : db::CreateFirebirdAdapter();
}

} // namespace

class AdapterKindsTest : public QObject {
    Q_OBJECT

private slots:
    // One value of the definition changed; "%1" in it stands for the value it replaces.
    void openStraightOnTheAdapter_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("param");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");  // a piece of the message; empty: it opens
        const auto row = [](const char* kind, const char* what, const char* param, const QString& value,
                            const char* expected) {
            QTest::addRow("%s: %s", kind, what) << kind << param << value << expected;
        };
        for (const char* kind : {"mysql", "firebird"}) {
            // The page passes its texts untrimmed; what it accepts must open.
            row(kind, "blanks around the server", "Server", "  %1 ", "");
            row(kind, "blanks around the port", "Port", " %1  ", "");
            row(kind, "port with plus sign", "Port", "+%1", "");
        }
        row("mysql", "wrong password", "Password", "Errada-Senha-4821", "Access denied");
        row("mysql", "unknown database", "Database", "nao_existe_brivel", "nao_existe_brivel");
        row("mysql", "refused port", "Port", QString::number(FreePort()), "Can't connect");
        row("mysql", "unknown host", "Server", "host.invalid", "host.invalid");
        row("mysql", "port not a number", "Port", "33o6", "Porta inválida");
        row("mysql", "port out of range", "Port", "65536", "Porta inválida");
        row("firebird", "wrong password", "Password", "Errada-Senha-4821", "password");
        row("firebird", "unknown database", "Database", "/nao/existe/brivel.fdb", "/nao/existe/brivel.fdb");
        row("firebird", "refused port", "Port", QString::number(FreePort()), "network request");
        row("firebird", "server with port inside", "Server", "127.0.0.1:3050", "servidor");
        row("firebird", "password over 255 bytes", "Password", QString(300, 'k'), "senha");
    }
    // Straight on the adapter: the connection's own scrubbing must not be what hides the password.
    void openStraightOnTheAdapter()
    {
        QFETCH(QString, kind);
        QFETCH(QString, param);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        KindTarget t;
        BRIVEL_REQUIRE(PrepareTarget(kind, t));
        ConnectionDefinition def = DefinitionFor(t.fields);
        def.set(S(param), S(value.contains("%1") ? value.arg(QString::fromStdString(def.value(S(param)))) : value));
        const QString password = QString::fromStdString(def.value("Password"));

        auto adapter = AdapterOf(t.kind);
        const QString message = ErrorOf([&] { adapter->open(def); });
        if (expected.isEmpty()) {
            QVERIFY2(message.isNull(), qPrintable(message));
            QVERIFY(adapter->isOpen());
            adapter->close();
            QVERIFY(!adapter->isOpen());
            return;
        }
        QVERIFY2(!message.isNull(), "open succeeded");
        QVERIFY2(message.contains(expected), qPrintable(message));
        QVERIFY2(!message.contains(password), qPrintable(message));
        QVERIFY2(!message.contains(QStringLiteral("não respondeu")), qPrintable(message));  // only for silence
        QVERIFY(!adapter->isOpen());
    }

    void openGivesUpOnSilentServer_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("ending");  // after the client's own lines, ours saying what happened
        QTest::newRow("mysql") << "mysql" << "";
        QTest::newRow("firebird") << "firebird"
                                  << "\nO servidor não respondeu dentro do tempo permitido (10 segundos).";
    }
    void openGivesUpOnSilentServer()
    {
        QFETCH(QString, kind);
        QFETCH(QString, ending);
        KindTarget t;
        BRIVEL_REQUIRE(PrepareTarget(kind, t));
        SilentServer silent;
        QVERIFY(silent.port() != 0);
        ConnectionDefinition def = DefinitionFor(t.fields);
        def.set("Port", std::to_string(silent.port()));
        auto adapter = AdapterOf(t.kind);
        const QString message = ErrorOf([&] { adapter->open(def); });
        QVERIFY2(!message.isEmpty(), "open succeeded or gave no message");
        QVERIFY2(message.endsWith(ending), qPrintable(message));
        QVERIFY(!adapter->isOpen());
    }

    void queryReadsIntegerColumn_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("column");
        QTest::addColumn<qlonglong>("expected");
        const auto row = [](const char* kind, const char* what, const char* sql, const char* column,
                            qlonglong expected) {
            QTest::addRow("%s: %s", kind, what) << kind << sql << column << expected;
        };
        row("mysql", "quoted colon literal",
            "SELECT COUNT(*) QTD FROM (SELECT 'x:TABELA' AS A, '?' AS B) S WHERE A <> :TABELA", "QTD", 1);
        row("mysql", "column among others", "SELECT 'a' A, :TABELA B, 42 Qtd, 'z' C", "qtd", 42);
        row("mysql", "big integer", "SELECT CAST(9007199254740993 AS SIGNED) QTD FROM DUAL WHERE :TABELA = 'x'",
            "QTD", 9007199254740993LL);
        row("mysql", "negative int", "SELECT -7 QTD, LENGTH(:TABELA) L", "QTD", -7);
        row("firebird", "quoted colon literal", "SELECT COUNT(*) QTD FROM RDB$DATABASE WHERE 'x:TABELA' <> :TABELA",
            "QTD", 1);
        row("firebird", "smallint", "SELECT CAST(-7 AS SMALLINT) QTD FROM RDB$DATABASE WHERE :TABELA = 'x'", "QTD",
            -7);
        row("firebird", "integer", "SELECT CAST(2147483647 AS INTEGER) QTD FROM RDB$DATABASE WHERE :TABELA = 'x'",
            "QTD", 2147483647LL);
        row("firebird", "bigint", "SELECT CAST(9007199254740993 AS BIGINT) QTD FROM RDB$DATABASE WHERE :TABELA = 'x'",
            "QTD", 9007199254740993LL);
        row("firebird", "numeric keeps its integer part",
            "SELECT CAST(-12.75 AS NUMERIC(9,2)) QTD FROM RDB$DATABASE WHERE :TABELA = 'x'", "QTD", -12);
        row("firebird", "alias among others, other case",
            "SELECT 'a' A, CAST(:TABELA AS VARCHAR(10)) B, 42 Qtd, CAST(NULL AS INTEGER) N FROM RDB$DATABASE", "qtd",
            42);
    }
    void queryReadsIntegerColumn()
    {
        QFETCH(QString, kind);
        QFETCH(QString, sql);
        QFETCH(QString, column);
        QFETCH(qlonglong, expected);
        KindTarget t;
        BRIVEL_REQUIRE(PrepareTarget(kind, t));
        const auto c = t.connection();
        BRIVEL_OK(c->open());
        long long value = 0;
        BRIVEL_OK(value = c->queryInt(S(sql), "TABELA", "x", S(column)));
        QCOMPARE(value, expected);
    }

    // MySQL: a statement that returns rows must leave the session usable (the
    // client refuses the next command while a result is unread).
    void mysqlStatementReturningRowsLeavesSessionUsable()
    {
        KindTarget t;
        BRIVEL_REQUIRE(PrepareTarget(QStringLiteral("mysql"), t));
        const auto c = t.connection();
        BRIVEL_OK(c->open());
        BRIVEL_OK(c->execSQL("CREATE TABLE T (NOME VARCHAR(40))"));
        BRIVEL_OK(c->execSQL("INSERT INTO T VALUES ('a')"));
        BRIVEL_OK(c->execSQL("SELECT * FROM T"));
        BRIVEL_OK(c->execSQL("INSERT INTO T VALUES ('c')"));
        QString out;
        BRIVEL_REQUIRE(RunNativeSql(t, QStringLiteral("SELECT COUNT(*) FROM T;"), &out));
        QCOMPARE(out, QString("2"));
    }
};

QTEST_GUILESS_MAIN(AdapterKindsTest)
#include "test_adapter_kinds.moc"
