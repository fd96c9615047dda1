// The connection page's fields to a ready connection, as the window, the
// command-line program, the tests and the benchmark all set it up.
#include "core/AppPaths.h"
#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "db/AdapterFactories.h"
#include "db/Connection.h"
#include "db/ConnectionSetup.h"
#include "db/DriverLink.h"
#include "support/ConnectionSetup.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"

#include <QtTest>

using namespace brivel;
using brivel::test::ErrorOf;
using brivel::test::TempFolder;

namespace {

ConnectionFields Fields(TTipoBanco kind)
{
    return test::FieldsOf(kind, " db ", "1234", "vendas", "api", "segredo");
}

// A connection with links of its own, and PATH given back afterwards.
struct Subject {
    db::DriverLink pg{"PG", "PostgreSQL", db::PostgresLibraryFiles()};
    db::DriverLink oracle{"Ora", "Oracle", db::OracleLibraryFiles()};
    db::Connection conn{db::DriverLinks{&pg, &oracle}};
    std::vector<std::string> log;
    const std::string path = GetEnv("PATH");

    db::SetupLog logger()
    {
        return [this](const std::string& line) { log.push_back(line); };
    }
    ~Subject() { SetEnv("PATH", path); }
};

} // namespace

class ConnectionSetupTest : public QObject {
    Q_OBJECT
private slots:
    void clientLibraryFromTheFolder_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("files");  // what the folder holds
        QTest::addColumn<QString>("pgLibrary");  // the links afterwards ("-": untouched)
        QTest::addColumn<QString>("oracleLibrary");
        QTest::addColumn<QString>("oracleHome");
        QTest::addColumn<bool>("logged");
        QTest::newRow("PostgreSQL") << int(tbPostgreSQL) << QStringList{"libpq.so.5"} << "{F}libpq.so.5"
                                    << "-" << "-" << true;
        QTest::newRow("Oracle") << int(tbOracle) << QStringList{"libclntsh.so", "libociei.so"} << "-"
                                << "{F}libclntsh.so" << "{F}" << false;
        QTest::newRow("MySQL takes nothing from the folder")
            << int(tbMySQL) << QStringList{"libpq.so.5", "libclntsh.so", "libociei.so"} << "-" << "-" << "-" << false;
    }
    void clientLibraryFromTheFolder()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, files);
        QFETCH(QString, pgLibrary);
        QFETCH(QString, oracleLibrary);
        QFETCH(QString, oracleHome);
        QFETCH(bool, logged);
        TempFolder folder;
        for (const QString& file : files)
            folder.write(file, "x");
        auto expected = [&](const QString& pattern) {
            return pattern == "-" ? std::string("untouched") : QString(pattern).replace("{F}", folder.path()).toStdString();
        };
        Subject s;
        s.pg.VendorLib = s.oracle.VendorLib = s.oracle.VendorHome = "untouched";

        const ConnectionFields f = Fields(static_cast<TTipoBanco>(kind));
        db::SetUpConnection(s.conn, f, folder.path().toStdString(), s.logger());

        QCOMPARE(s.pg.VendorLib, expected(pgLibrary));
        QCOMPARE(s.oracle.VendorLib, expected(oracleLibrary));
        QCOMPARE(s.oracle.VendorHome, expected(oracleHome));
        QCOMPARE(s.log, logged ? std::vector<std::string>{"PostgreSQL libpq carregada de: " + expected(pgLibrary)}
                               : std::vector<std::string>{});
        QVERIFY(s.conn.definition() == DefinitionFor(f));
        QVERIFY(!s.conn.connected());
    }

    void missingLibraryLeavesTheConnectionEmpty()
    {
        TempFolder folder;
        TempFolder dbFolder;
        Subject s;
        s.pg.VendorLib = "before";
        // An open connection with a definition of its own.
        ConnectionFields sqlite;
        sqlite.kindIndex = tbSQLite;
        sqlite.database = dbFolder.file("a.db").toStdString();
        db::SetUpConnection(s.conn, sqlite);
        s.conn.open();
        QVERIFY(s.conn.connected());

        const QString error = ErrorOf(
            [&] { db::SetUpConnection(s.conn, Fields(tbPostgreSQL), folder.path().toStdString(), s.logger()); });
        QVERIFY2(error.startsWith(QStringLiteral("Não foi encontrado libpq.so.5 em:")), qPrintable(error));
        QVERIFY(!s.conn.connected());
        QVERIFY(s.conn.definition().params().empty());
        QCOMPARE(s.pg.VendorLib, std::string("before"));
        QVERIFY(s.log.empty());
        QCOMPARE(GetEnv("PATH"), s.path);
    }

    void defineReplacesTheWholeDefinition()
    {
        TempFolder dbFolder;
        Subject s;
        db::SetUpConnection(s.conn, Fields(tbSQLServer));
        ConnectionDefinition def;
        def.setDriverID("SQLite");
        def.set("DriverID", "SQLite");
        def.set("Database", dbFolder.file("b.db").toStdString());
        db::Define(s.conn, def);
        QVERIFY(s.conn.definition() == def);  // nothing of the SQL Server definition is left
        s.conn.open();
        db::Define(s.conn, def);
        QVERIFY(!s.conn.connected());  // closed before it changes
    }
};

QTEST_APPLESS_MAIN(ConnectionSetupTest)
#include "test_connection_setup.moc"
