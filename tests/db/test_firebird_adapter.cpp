// What is particular to the Firebird adapter: its attach string and parameter
// block, then the adapter against the throwaway Firebird server (each statement's
// own transaction, quoted names, a database without character set, a text column
// where a number is asked); what reached the database is checked through isql-fb.
// What every adapter promises: test_adapter_contract.cpp; opening straight on the
// adapter and integer types: test_adapter_kinds.cpp.
#include "core/Error.h"
#include "core/InstallSteps.h"
#include "db/AdapterFactories.h"
#include "db/Connection.h"
#include "db/firebird/FirebirdAdapter.h"
#include "support/KindTargets.h"
#include "support/TestServers.h"
#include "support/ErrorOf.h"

#include <QtTest>

using namespace brivel;
using namespace brivel::test;

namespace {

// The installation's own existence query.
const std::string kExistenceQuery = ExistenceQuery(tbFirebird);

std::string S(const QString& s) { return s.toStdString(); }

using brivel::test::ErrorOf;

} // namespace

class FirebirdAdapterTest : public QObject {
    Q_OBJECT

private:
    FbServer server_;
    QString path_;
    db::Connection conn_;

    // A fresh database (default character set `charset`) and an open connection to it.
    bool fresh(const QString& charset = QStringLiteral("UTF8"))
    {
        if (auto o = ReadFbServer(server_); !o) {
            QTest::qFail(qPrintable(o.message), __FILE__, __LINE__);
            return false;
        }
        if (auto o = CreateFbDatabase(server_, path_, charset); !o) {
            QTest::qFail(qPrintable(o.message), __FILE__, __LINE__);
            return false;
        }
        DefineConnection(conn_, FieldsOf(tbFirebird, server_.host, server_.port, path_, server_.user, server_.password));
        conn_.open();
        return true;
    }

    QString isql(const QString& sql)
    {
        QString out;
        if (auto o = RunFbSql(server_, path_, sql, &out); !o)
            return o.message;
        return out;
    }

private slots:
    void cleanup() { conn_.close(); }

    void attachString_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("expected");  // the string, or "!" and a fragment of the error
        QTest::newRow("host and port") << "127.0.0.1" << "3050" << "/srv/db/x.fdb" << "127.0.0.1/3050:/srv/db/x.fdb";
        QTest::newRow("blanks around") << " servidor " << " 3051 " << " C:\\Dados\\X.FDB " << "servidor/3051:C:\\Dados\\X.FDB";
        QTest::newRow("alias") << "db.example.com" << "3050" << "vendas" << "db.example.com/3050:vendas";
        QTest::newRow("no port") << "servidor" << "" << "vendas" << "servidor/3050:vendas";
        QTest::newRow("one-letter host stays a host") << "C" << "" << "\\x.fdb" << "C/3050:\\x.fdb";
        QTest::newRow("host named like a protocol") << "inet" << "" << "//h/x.fdb" << "inet/3050://h/x.fdb";
        QTest::newRow("path with colons") << "srv" << "3050" << "D:\\a:b.fdb" << "srv/3050:D:\\a:b.fdb";
        QTest::newRow("ipv6 bracketed") << "[::1]" << "3050" << "/x.fdb" << "[::1]/3050:/x.fdb";
        QTest::newRow("ipv6 with zone") << "[fe80::1%eth0]" << "3050" << "/x.fdb" << "[fe80::1%eth0]/3050:/x.fdb";
        QTest::newRow("no server: path alone") << "" << "3050" << "/srv/db/x.fdb" << "/srv/db/x.fdb";
        QTest::newRow("blank server: path alone") << "  " << "" << "outro:/x.fdb" << "outro:/x.fdb";
        QTest::newRow("host with colon") << "srv:3051" << "3050" << "/x.fdb" << "!servidor";
        QTest::newRow("host with slash") << "srv/3051" << "3050" << "/x.fdb" << "!servidor";
        QTest::newRow("host with backslash") << "\\\\srv" << "3050" << "/x.fdb" << "!servidor";
        QTest::newRow("host with blank inside") << "meu srv" << "3050" << "/x.fdb" << "!servidor";
        QTest::newRow("ipv6 unbracketed") << "::1" << "3050" << "/x.fdb" << "!servidor";
        QTest::newRow("ipv6 unclosed") << "[::1" << "3050" << "/x.fdb" << "!servidor";
        QTest::newRow("brackets around a name") << "[srv]" << "3050" << "/x.fdb" << "!servidor";
        QTest::newRow("port not a number") << "srv" << "30a0" << "/x.fdb" << "!Porta";
        QTest::newRow("port zero") << "srv" << "0" << "/x.fdb" << "!Porta";
        QTest::newRow("port too big") << "srv" << "65536" << "/x.fdb" << "!Porta";
        QTest::newRow("port as service name") << "srv" << "gds_db" << "/x.fdb" << "!Porta";
        QTest::newRow("no database") << "srv" << "3050" << "  " << "!banco";
        QTest::newRow("line break in path") << "srv" << "3050" << "/x.fdb\n/y.fdb" << "!controle";
    }

    void attachString()
    {
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(QString, database);
        QFETCH(QString, expected);
        if (expected.startsWith('!')) {
            const QString message = ErrorOf([&] { db::FirebirdAttachString(S(server), S(port), S(database)); });
            QVERIFY2(message.contains(expected.mid(1)), qPrintable(message));
        } else {
            QCOMPARE(QString::fromStdString(db::FirebirdAttachString(S(server), S(port), S(database))), expected);
        }
    }

    void attachParametersLimitItems_data()
    {
        QTest::addColumn<int>("userBytes");
        QTest::addColumn<int>("passwordBytes");
        QTest::addColumn<QString>("error");
        QTest::newRow("255 bytes each") << 255 << 255 << "";
        QTest::newRow("user of 256 bytes") << 256 << 8 << "usuário";
        QTest::newRow("password of 256 bytes") << 8 << 256 << "senha";
    }

    void attachParametersLimitItems()
    {
        QFETCH(int, userBytes);
        QFETCH(int, passwordBytes);
        QFETCH(QString, error);
        const std::string user(static_cast<size_t>(userBytes), 'u');
        const std::string password = std::string(static_cast<size_t>(passwordBytes) - 4, 'p') + "Xq9!";
        const QString message = ErrorOf([&] {
            const std::string dpb = db::FirebirdAttachParameters(user, password, "NONE");
            QVERIFY(dpb.find(password) != std::string::npos);
        });
        if (error.isEmpty()) {
            QVERIFY2(message.isNull(), qPrintable(message));
        } else {
            QVERIFY2(message.contains(error), qPrintable(message));
            QVERIFY(!message.contains(QString::fromStdString(password)));
        }
    }

    void executesInItsOwnCommittedTransaction()
    {
        if (!fresh())
            return;
        conn_.execSQL("CREATE TABLE T (NOME VARCHAR(40))");
        conn_.execSQL("INSERT INTO T VALUES ('a:b')");
        QVERIFY(!conn_.inTransaction());
        // Seen at once by another attachment: each statement was committed.
        QCOMPARE(isql("SELECT COUNT(*) FROM T WHERE NOME = 'a:b';"), QString("1"));

        const QString message = ErrorOf([&] { conn_.execSQL("INSERT INTO API_NAO_EXISTE VALUES (1)"); });
        // The whole status vector: the kind of error and the object it is about.
        QVERIFY2(message.contains("Table unknown") && message.contains("API_NAO_EXISTE"), qPrintable(message));
        QVERIFY(conn_.connected());
        conn_.execSQL("INSERT INTO T VALUES ('c')");
        QCOMPARE(isql("SELECT COUNT(*) FROM T;"), QString("2"));
    }

    // Commit and rollback themselves: the contract. Here what Firebird's own
    // transaction handle adds.
    void failedStatementLeavesTransactionForRollback()
    {
        if (!fresh())
            return;
        conn_.execSQL("CREATE TABLE T (ID INTEGER)");
        conn_.execSQL("INSERT INTO T VALUES (1)");

        // A rolled-back CREATE TABLE leaves nothing (the installation commits each one).
        conn_.startTransaction();
        conn_.execSQL("CREATE TABLE API_CONFIG (ID INTEGER)");
        conn_.rollback();
        QCOMPARE(conn_.queryInt(kExistenceQuery, "TABELA", "API_CONFIG", "QTD"), 0LL);

        // A failed statement leaves the transaction open for the caller's rollback.
        conn_.startTransaction();
        conn_.execSQL("INSERT INTO T VALUES (3)");
        QVERIFY(!ErrorOf([&] { conn_.execSQL("INSERT INTO T VALUES ('x')"); }).isNull());
        QVERIFY(conn_.inTransaction());
        conn_.rollback();
        QCOMPARE(isql("SELECT COUNT(*) FROM T;"), QString("1"));
        // Nothing to commit is a caller's mistake, not a silent success.
        QVERIFY(!conn_.inTransaction());
        QVERIFY(!ErrorOf([&] { conn_.commit(); }).isNull());
    }

    void existenceQuery_data()
    {
        QTest::addColumn<QString>("create");
        QTest::newRow("upper case") << "CREATE TABLE API_CONFIG (ID INTEGER);";
        QTest::newRow("lower case") << "CREATE TABLE \"api_config\" (ID INTEGER);";
    }

    void existenceQuery()
    {
        QFETCH(QString, create);
        if (!fresh())
            return;
        BRIVEL_REQUIRE(RunFbSql(server_, path_, "CREATE TABLE API_ROTAS (ID INTEGER);"));
        QCOMPARE(conn_.queryInt(kExistenceQuery, "TABELA", "API_CONFIG", "QTD"), 0LL);
        BRIVEL_REQUIRE(RunFbSql(server_, path_, create));
        QCOMPARE(conn_.queryInt(kExistenceQuery, "TABELA", "API_CONFIG", "QTD"), 1LL);
        QCOMPARE(conn_.queryInt(kExistenceQuery, "TABELA", "api_config", "qtd"), 1LL);
    }

    // A database without character set stores the bytes as sent: UTF-8 (a UTF8
    // database: the contract).
    void portugueseTextInDatabaseWithoutCharacterSet()
    {
        if (!fresh(QStringLiteral("NONE")))
            return;
        conn_.execSQL("CREATE TABLE T (NOME VARCHAR(20))");
        conn_.execSQL("INSERT INTO T VALUES ('ação')");
        QString out;
        BRIVEL_REQUIRE(RunFbSql(server_, path_, "SELECT OCTET_LENGTH(NOME) FROM T;", &out, QStringLiteral("NONE")));
        QCOMPARE(out, QString("6"));
        QCOMPARE(conn_.queryInt("SELECT COUNT(*) QTD FROM T WHERE NOME = :TABELA", "TABELA", "ação", "QTD"), 1LL);
        QCOMPARE(conn_.queryInt("SELECT COUNT(*) QTD FROM T WHERE NOME = :TABELA", "TABELA", "acao", "QTD"), 0LL);
    }

    void queryFailsWithMessage_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        // A missing column, no row, NULL and a server error: the contract, on every kind.
        QTest::newRow("text column") << "SELECT 'abc' QTD FROM RDB$DATABASE WHERE :TABELA = 'x'" << "inteiro";
    }

    void queryFailsWithMessage()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        if (!fresh())
            return;
        const QString message = ErrorOf([&] { conn_.queryInt(S(sql), "TABELA", "x", "QTD"); });
        QVERIFY2(message.contains(expected), qPrintable(message));
        // The attachment goes on after a failed query.
        QCOMPARE(conn_.queryInt(kExistenceQuery, "TABELA", "API_CONFIG", "QTD"), 0LL);
    }
};

QTEST_GUILESS_MAIN(FirebirdAdapterTest)
#include "test_firebird_adapter.moc"
