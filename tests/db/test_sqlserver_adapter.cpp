// The SQL Server adapter. Without a SQL Server here, the servers' private driver
// list registers the PostgreSQL ODBC driver as "ODBC Driver 17 for SQL Server",
// so the adapter's own code (driver search, connection string, transactions,
// the parameter query, diagnostics) runs for real. What reached the database
// is checked through psql, not through the adapter.
#include "core/Error.h"
#include "core/InstallSteps.h"
#include "db/AdapterFactories.h"
#include "db/Connection.h"
#include "db/sqlserver/SqlServerDriver.h"
#include "support/KindTargets.h"
#include "support/TestServers.h"
#include "support/OdbcDriverLists.h"
#include "support/ErrorOf.h"

#include <QtTest>

using namespace brivel;
using namespace brivel::test;

namespace {

// The installation's own existence query.
const std::string kExistenceQuery = ExistenceQuery(tbSQLServer);

using brivel::test::ErrorOf;

} // namespace

class SqlServerAdapterTest : public QObject {
    Q_OBJECT

private:
    KindTarget target_;
    db::Connection conn_;

    // A fresh database and an open connection to it.
    bool fresh()
    {
        target_ = KindTarget{};
        if (auto o = PrepareTarget(QStringLiteral("sqlserver"), target_); !o) {
            QTest::qFail(qPrintable(o.message), __FILE__, __LINE__);
            return false;
        }
        DefineConnection(conn_, target_.fields);
        conn_.open();
        return true;
    }

    // What another session sees.
    QString psql(const QString& sql)
    {
        QString out;
        if (auto o = RunNativeSql(target_, sql, &out); !o)
            return o.message;
        return out;
    }

private slots:
    void initTestCase() { BRIVEL_REQUIRE(UseServersDriverList()); }
    void cleanup() { conn_.close(); }

    void choosesFirstInstalledDriverInPreferenceOrder_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("only 17") << QStringList{"PostgreSQL Unicode", "ODBC Driver 17 for SQL Server"}
                                 << "ODBC Driver 17 for SQL Server";
        QTest::newRow("18 beats 17, listed later, other case")
            << QStringList{"ODBC Driver 17 for SQL Server", "odbc driver 18 for sql server"}
            << "odbc driver 18 for sql server";
        QTest::newRow("Native Client 11 beats 13 and the old driver")
            << QStringList{"SQL Server", "ODBC Driver 13 for SQL Server", "SQL Server Native Client 11.0"}
            << "SQL Server Native Client 11.0";
        QTest::newRow("old driver last") << QStringList{"SQL Server", "SQL Native Client"} << "SQL Native Client";
        QTest::newRow("near names do not count")
            << QStringList{"ODBC Driver 19 for SQL Server", "SQL Server ", "FreeTDS", "SQL Server"} << "SQL Server";
    }
    void choosesFirstInstalledDriverInPreferenceOrder()
    {
        QFETCH(QStringList, installed);
        QFETCH(QString, chosen);
        std::vector<std::string> names;
        for (const auto& n : installed)
            names.push_back(n.toStdString());
        QCOMPARE(QString::fromStdString(db::ChooseSqlServerDriver(names)), chosen);
    }

    void noDriverInstalledListsWhatWasLookedFor()
    {
        const QString message = ErrorOf([] { db::ChooseSqlServerDriver({"FreeTDS", "PostgreSQL Unicode"}); });
        QVERIFY(message.startsWith("Nenhum driver ODBC do SQL Server está instalado."));
        qsizetype at = 0;
        for (const auto& name : db::SqlServerDriverNames()) {
            const qsizetype found = message.indexOf(QString::fromStdString(name) + (name == "SQL Server" ? "." : ","), at);
            QVERIFY2(found >= 0, name.c_str());
            at = found;
        }
        // The driver must match the program's architecture, not the system's.
        QVERIFY2(message.endsWith(QStringLiteral("\nInstale o Microsoft ODBC Driver for SQL Server de %1 bits (a mesma "
                                                 "arquitetura deste programa).")
                                      .arg(QT_POINTER_SIZE * 8)),
                 qPrintable(message));
    }

    void connectionStringKeepsEveryValueWhole_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("expected");
        const QString head = "DRIVER={ODBC Driver 18 for SQL Server};";
        const QString tail = ";Encrypt=no";  // driver 18 only
        QTest::newRow("plain") << "db1.example" << "1433" << "VENDAS" << "abc123"
                               << head + "SERVER=db1.example;PORT=1433;ADDRESS=db1.example,1433;DATABASE=VENDAS;"
                                         "UID=sa;PWD=abc123;Trusted_Connection=No" + tail;
        QTest::newRow("braces and separators")
            << "srv;x" << "1433" << "a;UID=root" << "p}w;d={x}"
            << head + "SERVER={srv;x};PORT=1433;ADDRESS={srv;x,1433};DATABASE={a;UID=root};UID=sa;"
                      "PWD={p}}w;d={x}}};Trusted_Connection=No" + tail;
        QTest::newRow("blanks around the host dropped, accents braced")
            << " srv\\INST " << " 1433 " << "Produção" << "senha com espaço"
            << head + "SERVER={srv\\INST};PORT=1433;ADDRESS={srv\\INST,1433};DATABASE={Produção};UID=sa;"
                      "PWD={senha com espaço};Trusted_Connection=No" + tail;
        QTest::newRow("no port, no password") << "srv" << "" << "db" << ""
                                              << head + "SERVER=srv;DATABASE=db;UID=sa;Trusted_Connection=No" + tail;
    }
    void connectionStringKeepsEveryValueWhole()
    {
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(QString, database);
        QFETCH(QString, password);
        QFETCH(QString, expected);
        ConnectionDefinition def;
        def.set("Server", server.toStdString());
        def.set("Port", port.toStdString());
        def.set("Database", database.toStdString());
        def.set("User_Name", "sa");
        def.set("Password", password.toStdString());
        def.set("OSAuthent", "No");
        QCOMPARE(QString::fromStdString(db::SqlServerConnectionString("ODBC Driver 18 for SQL Server", def)),
                 expected);
    }

    // A view of the name is no table (finding a table in any case: the contract).
    void existenceQueryCountsTablesNotViews()
    {
        if (!fresh())
            return;
        QCOMPARE(conn_.queryInt(kExistenceQuery, "TABELA", "API_CONFIG", "QTD"), 0LL);
        QCOMPARE(psql("CREATE TABLE api_config (id int); CREATE VIEW api_outra AS SELECT 1 AS x;"), QString());
        QCOMPARE(conn_.queryInt(kExistenceQuery, "TABELA", "API_CONFIG", "QTD"), 1LL);
        QCOMPARE(conn_.queryInt(kExistenceQuery, "TABELA", "api_outra", "QTD"), 0LL);
    }

    void columnIsFoundByNameWithoutCase_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<qlonglong>("value");
        QTest::newRow("second column, lower case in the result") << "QTD" << 42LL;
        QTest::newRow("first column, mixed case asked") << "Outra" << 7LL;
    }
    void columnIsFoundByNameWithoutCase()
    {
        QFETCH(QString, column);
        QFETCH(qlonglong, value);
        if (!fresh())
            return;
        QCOMPARE(conn_.queryInt("SELECT 7 AS outra, 42 AS qtd WHERE :P <> ''", "P", "x", column.toStdString()),
                 value);
    }

    void failedCommitLeavesTransactionForRollback()
    {
        if (!fresh())
            return;
        conn_.execSQL("CREATE TABLE u (n int UNIQUE DEFERRABLE INITIALLY DEFERRED)");
        conn_.startTransaction();
        conn_.execSQL("INSERT INTO u VALUES (1)");
        conn_.execSQL("INSERT INTO u VALUES (1)");
        const QString message = ErrorOf([&] { conn_.commit(); });
        QVERIFY2(message.contains("23505"), qPrintable(message));
        QVERIFY(conn_.inTransaction());
        conn_.rollback();
        QVERIFY(!conn_.inTransaction());
        conn_.execSQL("INSERT INTO u VALUES (5)");
        QCOMPARE(psql("SELECT string_agg(n::text, ',') FROM u;"), QString("5"));
    }

    void closeWithTransactionPendingRollsBack()
    {
        if (!fresh())
            return;
        conn_.execSQL("CREATE TABLE t (n int)");
        conn_.startTransaction();
        conn_.execSQL("INSERT INTO t VALUES (1)");
        conn_.close();
        QVERIFY(!conn_.connected());
        QCOMPARE(psql("SELECT COUNT(*) FROM t;"), QString("0"));
        // The idle session is gone, not left holding the transaction.
        QCOMPARE(psql("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database() AND pid <> "
                      "pg_backend_pid();"),
                 QString("0"));
        conn_.open();
        conn_.execSQL("INSERT INTO t VALUES (2)");
        QCOMPARE(psql("SELECT COUNT(*) FROM t;"), QString("1"));
    }

    void statementErrorsCarryServerText_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("fragments");
        QTest::newRow("syntax") << "SELEC 1" << QStringList{"[42601]", "syntax error at or near \"SELEC\""};
        QTest::newRow("missing table") << "INSERT INTO nao_existe VALUES (1)"
                                       << QStringList{"[42P01]", "nao_existe", "does not exist"};
        QTest::newRow("second statement of a batch") << "CREATE TABLE d (n int); CREATE TABLE d (n int)"
                                                     << QStringList{"[42P07]", "already exists"};
    }
    void statementErrorsCarryServerText()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, fragments);
        if (!fresh())
            return;
        const QString message = ErrorOf([&] { conn_.execSQL(sql.toStdString()); });
        for (const auto& f : fragments)
            QVERIFY2(message.contains(f), qPrintable(message));
        QVERIFY(conn_.connected());
    }

    void openFailuresCarryDriverTextNotPassword_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("wrong password holding } and ;") << "server" << "password authentication failed";
        QTest::newRow("nothing listening") << "refused" << "Connection refused";
        QTest::newRow("server never answers") << "silent" << "timeout expired";
    }
    void openFailuresCarryDriverTextNotPassword()
    {
        QFETCH(QString, target);
        QFETCH(QString, fragment);
        PgServer server;
        BRIVEL_REQUIRE(ReadPgServer(server));
        SilentServer silent;
        ConnectionDefinition def = SqlServerDefinition(server, server.database);
        // Parsed as one value, this reaches the server as a wrong password; split, it would not.
        const std::string password = "Senh4}Err;DATABASE=postgres;UID=postgres";
        def.set("Password", password);
        if (target == "refused")
            def.set("Port", std::to_string(FreePort()));
        if (target == "silent") {
            QVERIFY(silent.port() != 0);
            def.set("Port", std::to_string(silent.port()));
        }
        auto adapter = db::CreateSqlServerAdapter();
        const QString message = ErrorOf([&] { adapter->open(def); });
        QVERIFY2(message.contains(fragment), qPrintable(message));
        QVERIFY2(message.contains("ODBC Driver 17 for SQL Server"), qPrintable(message));
        QVERIFY2(!message.contains("Senh4"), qPrintable(message));
        QVERIFY(!adapter->isOpen());
    }

    // SQLDriverConnectW takes the length as a SQLSMALLINT: a longer string must
    // fail as such, not wrap to a small length (or to SQL_NTS, -3) and connect
    // with a truncated string.
    void connectionStringLongerThanOdbcTakesIsRefused_data()
    {
        QTest::addColumn<int>("length");  // of the whole connection string, in UTF-16 units
        QTest::addColumn<bool>("refused");
        QTest::newRow("32767: the longest it takes") << 32767 << false;
        QTest::newRow("32768: one too many") << 32768 << true;
        QTest::newRow("65533: would wrap to SQL_NTS") << 65533 << true;
        QTest::newRow("65536 + 200: would wrap to 200") << 65736 << true;
        QTest::newRow("98303: would wrap to 32767") << 98303 << true;
    }
    void connectionStringLongerThanOdbcTakesIsRefused()
    {
        QFETCH(int, length);
        QFETCH(bool, refused);
        PgServer server;
        BRIVEL_REQUIRE(ReadPgServer(server));
        ConnectionDefinition def = SqlServerDefinition(server, server.database);
        const size_t base = db::SqlServerConnectionString("ODBC Driver 17 for SQL Server", def).size() -
                            def.value("Password").size();
        def.set("Password", std::string(static_cast<size_t>(length) - base, 'k'));
        QCOMPARE(int(db::SqlServerConnectionString("ODBC Driver 17 for SQL Server", def).size()), length);

        auto adapter = db::CreateSqlServerAdapter();
        const QString message = ErrorOf([&] { adapter->open(def); });
        const QString tooLong = QStringLiteral("SQL Server: a cadeia de conexão tem %1 unidades de texto (UTF-16); o "
                                               "ODBC aceita no máximo 32767.")
                                    .arg(length);
        QVERIFY(!message.isNull());  // a password of k's is wrong either way
        QCOMPARE(message == tooLong, refused);
        QVERIFY(!message.contains(QStringLiteral("kkkk")));
        QVERIFY(!adapter->isOpen());
    }
};

QTEST_GUILESS_MAIN(SqlServerAdapterTest)
#include "test_sqlserver_adapter.moc"
