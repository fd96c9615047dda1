// db::Connection as the wizard uses it: the parameter list, the ":TABELA" marker,
// the client-library links, and the installer's calls against PostgreSQL and SQLite
// (what every adapter promises is checked by the adapter contract).
#include "support/DbFixtures.h"

#include "core/InstallSteps.h"
#include "db/AdapterFactories.h"
#include "db/Connection.h"
#include "db/DriverLink.h"
#include "support/TempFolder.h"
#include "support/TestServers.h"

#include <QtTest>

using namespace brivel;
using namespace brivel::test;

namespace {

// The installation's own existence query of the kind.
std::string Existence(const QString& kind)
{
    return ExistenceQuery(kind == QLatin1String("PG") ? tbPostgreSQL : tbSQLite);
}

// Defines `c` on a fresh database of `kind`: a new PostgreSQL database, or a
// new file in `tmp`. `where` names it for RunSql.
Outcome Fresh(const QString& kind, db::Connection& c, QString& where, const TempFolder& tmp)
{
    if (kind == QLatin1String("PG")) {
        PgServer s;
        if (auto o = ReadPgServer(s); !o)
            return o;
        if (auto o = CreatePgDatabase(s, where); !o)
            return o;
        DefinePg(c, s, where, s.password);
        return {};
    }
    where = tmp.file(QStringLiteral("banco.db"));
    DefineSqlite(c, where);
    return {};
}

// Runs SQL on that database through the kind's own command-line client.
Outcome RunSql(const QString& kind, const QString& where, const QString& sql, QString* output)
{
    if (kind == QLatin1String("PG")) {
        PgServer s;
        if (auto o = ReadPgServer(s); !o)
            return o;
        return RunPgSql(s, where, sql, output);
    }
    return RunSqliteSql(where, sql, output);
}

void AddKinds()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("PostgreSQL") << "PG";
    QTest::newRow("SQLite") << "SQLite";
}

} // namespace

class ConnectionTest : public QObject {
    Q_OBJECT
private slots:
    void parameterList();
    void replaceParameterMarker_data();
    void replaceParameterMarker();
    void closedConnectionRefusesWork();

    void commitWithoutTransactionIsRefused_data() { AddKinds(); }
    void commitWithoutTransactionIsRefused();
    void failureInsideTransactionIsRolledBack_data() { AddKinds(); }
    void failureInsideTransactionIsRolledBack();
    void existenceQuery_data();
    void existenceQuery();

    void libraryProblemsNameTheFile_data();
    void libraryProblemsNameTheFile();
    void releasedLinkLoadsAnew();
};

void ConnectionTest::parameterList()
{
    db::Connection c;
    c.setDriverID("PG");
    c.setParam("DriverID", "PG");
    c.setParam("Server", "a");
    c.setParam("Port", "5432");
    c.setParam("Password", "x");
    c.setParam("Server", "b");  // keeps its place
    c.setParam("Password", ""); // removed
    c.setParam("Database", "d");
    const std::vector<ConnectionDefinition::Param> expected{
        {"DriverID", "PG"}, {"Server", "b"}, {"Port", "5432"}, {"Database", "d"}};
    QVERIFY(c.definition().params() == expected);
    c.close(); // closing keeps the definition
    QVERIFY(c.definition().params() == expected);
    QCOMPARE(c.driverID(), std::string("PG"));
    c.clearParams();
    QVERIFY(c.definition().params().empty());
}

void ConnectionTest::replaceParameterMarker_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    QTest::newRow("marker") << "UPPER(name) = UPPER(:TABELA)" << "UPPER(name) = UPPER($1)";
    QTest::newRow("at the end") << "x = :TABELA" << "x = $1";
    QTest::newRow("quoted colon stays") << "x = :TABELA AND 'a:b' = 'a:b'" << "x = $1 AND 'a:b' = 'a:b'";
    QTest::newRow("marker text in a literal") << "':TABELA' = :TABELA" << "':TABELA' = $1";
    QTest::newRow("doubled quote inside literal") << "'it''s :TABELA' || :TABELA" << "'it''s :TABELA' || $1";
    QTest::newRow("quoted identifier") << "\":TABELA\" = :TABELA" << "\":TABELA\" = $1";
    QTest::newRow("longer name") << "x = :TABELAS" << "x = :TABELAS";
    QTest::newRow("cast operator") << "x::TABELA" << "x::TABELA";
    QTest::newRow("line comment") << "-- :TABELA\nx = :TABELA" << "-- :TABELA\nx = $1";
    QTest::newRow("block comment") << "/* :TABELA */ x = :TABELA" << "/* :TABELA */ x = $1";
    QTest::newRow("unterminated literal") << "x = ':TABELA" << "x = ':TABELA";
}

void ConnectionTest::replaceParameterMarker()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(db::ReplaceParameterMarker(sql.toStdString(), "TABELA", "$1")), expected);
}

void ConnectionTest::closedConnectionRefusesWork()
{
    db::Connection c;
    QVERIFY(!c.connected());
    QVERIFY(!c.inTransaction());
    c.close();
    QVERIFY(ErrorOf([&] { c.execSQL("SELECT 1"); }).contains(QStringLiteral("não está aberta")));
    QVERIFY(!ErrorOf([&] { c.startTransaction(); }).isNull());
    QVERIFY(!ErrorOf([&] { c.queryInt("SELECT 1 QTD", "TABELA", "x", "QTD"); }).isNull());
}

// Nothing to commit is a caller's mistake, not a silent success (here; the
// MySQL, Oracle and SQL Server adapters let it pass).
void ConnectionTest::commitWithoutTransactionIsRefused()
{
    QFETCH(QString, kind);
    TempFolder tmp;
    db::Connection c;
    QString where;
    BRIVEL_REQUIRE(Fresh(kind, c, where, tmp));
    BRIVEL_OK(c.open());
    QVERIFY(!ErrorOf([&] { c.commit(); }).isNull());
    BRIVEL_OK(c.startTransaction());
    BRIVEL_OK(c.commit());
    QVERIFY(!ErrorOf([&] { c.commit(); }).isNull());
}

void ConnectionTest::failureInsideTransactionIsRolledBack()
{
    // The installer's path: DDL and inserts in one transaction, a statement
    // fails, the transaction is still active and its rollback leaves nothing.
    QFETCH(QString, kind);
    TempFolder tmp;
    db::Connection c;
    QString where, tables;
    BRIVEL_REQUIRE(Fresh(kind, c, where, tmp));
    BRIVEL_OK(c.open());
    BRIVEL_OK(c.startTransaction());
    BRIVEL_OK(c.execSQL("CREATE TABLE api_rotas (id INTEGER)"));
    BRIVEL_OK(c.execSQL("INSERT INTO api_rotas VALUES (1)"));
    const QString message = ErrorOf([&] { c.execSQL("INSERT INTO api_nao_existe VALUES (1)"); });
    QVERIFY2(message.contains(QLatin1String("api_nao_existe")), qPrintable(message));
    QVERIFY(c.inTransaction());
    BRIVEL_OK(c.rollback());
    QVERIFY(!c.inTransaction());
    long long count = -1;
    BRIVEL_OK(count = c.queryInt(Existence(kind), "TABELA", "API_ROTAS", "QTD"));
    QCOMPARE(count, 0LL);
    QVERIFY(c.connected());
}

void ConnectionTest::existenceQuery_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("sql");
    for (const char* kind : {"PG", "SQLite"}) {
        const QString query = QString::fromStdString(Existence(QLatin1String(kind)));
        QTest::addRow("%s", kind) << kind << query;
        QTest::addRow("%s with a quoted colon", kind) << kind << query + QStringLiteral(" AND 'a:b' = 'a:b'");
    }
}

void ConnectionTest::existenceQuery()
{
    QFETCH(QString, kind);
    QFETCH(QString, sql);
    TempFolder tmp;
    db::Connection c;
    QString where;
    BRIVEL_REQUIRE(Fresh(kind, c, where, tmp));
    BRIVEL_OK(c.open());
    const std::string query = sql.toStdString();
    long long before = -1, after = -1, quoted = -1;
    BRIVEL_OK(before = c.queryInt(query, "TABELA", "API_CONFIG", "QTD"));
    BRIVEL_OK(c.execSQL("CREATE TABLE api_config (id INTEGER)"));
    BRIVEL_OK(after = c.queryInt(query, "TABELA", "API_CONFIG", "QTD"));
    // A quote in the value is data, not SQL.
    BRIVEL_OK(quoted = c.queryInt(query, "TABELA", "API_CONFIG' OR 'x' = 'x", "qtd"));
    QCOMPARE(before, 0LL);
    QCOMPARE(after, 1LL);
    QCOMPARE(quoted, 0LL);
    const QString missing = ErrorOf([&] { c.queryInt(query, "TABELA", "API_CONFIG", "TOTAL"); });
    QVERIFY2(missing.contains(QLatin1String("TOTAL")), qPrintable(missing));
}

void ConnectionTest::libraryProblemsNameTheFile_data()
{
    QTest::addColumn<QString>("vendorLib");
    QTest::addColumn<QStringList>("mentions");
    // The architecture the client must have is the program's, not the system's.
    QTest::newRow("missing file") << "/nao/existe/libpq.so.5"
                                  << QStringList{"/nao/existe/libpq.so.5",
                                                 QStringLiteral("\nA biblioteca cliente precisa ser de %1 bits (a mesma "
                                                                "arquitetura deste programa).")
                                                     .arg(QT_POINTER_SIZE * 8)};
    // A real library that is not libpq.
    QTest::newRow("missing function") << "libsqlite3.so.0" << QStringList{"libsqlite3.so.0", "PQconnectStartParams"};
}

void ConnectionTest::libraryProblemsNameTheFile()
{
    QFETCH(QString, vendorLib);
    QFETCH(QStringList, mentions);
    db::DriverLink pg("PG", "PostgreSQL", db::PostgresLibraryFiles());
    db::DriverLink ora("Ora", "Oracle", db::OracleLibraryFiles());
    pg.VendorLib = vendorLib.toStdString();
    db::Connection c({&pg, &ora});
    // Loading fails before any server is contacted.
    DefinePg(c, PgServer{"127.0.0.1", "1", "u", "p", "d", ""}, QStringLiteral("d"), QStringLiteral("segredo-1"));
    const QString message = ErrorOf([&] { c.open(); });
    QVERIFY(!c.connected());
    for (const QString& m : mentions)
        QVERIFY2(message.contains(m), qPrintable(message));
}

void ConnectionTest::releasedLinkLoadsAnew()
{
    PgServer s;
    BRIVEL_REQUIRE(ReadPgServer(s));
    db::DriverLink pg("PG", "PostgreSQL", db::PostgresLibraryFiles());
    db::DriverLink ora("Ora", "Oracle", db::OracleLibraryFiles());
    db::Connection c({&pg, &ora});
    DefinePg(c, s, s.database, s.password);
    QVERIFY(!pg.loaded());
    BRIVEL_OK(c.open());
    QVERIFY(pg.loaded());
    const std::shared_ptr<db::ClientLibrary> first = pg.library();

    const QString refused = ErrorOf([&] { pg.Release(); });
    QVERIFY2(!refused.isNull(), "released while a connection was open");
    QVERIFY(pg.loaded());
    QVERIFY(c.connected());

    // After a release the next open takes the file VendorLib names then.
    c.close();
    BRIVEL_OK(pg.Release());
    QVERIFY(!pg.loaded());
    pg.VendorLib = "/nao/existe/libpq.so.5";
    const QString missing = ErrorOf([&] { c.open(); });
    QVERIFY2(missing.contains("/nao/existe/libpq.so.5"), qPrintable(missing));
    QVERIFY(!c.connected());

    // The same file again: the library stayed loaded and is the same one.
    BRIVEL_OK(pg.Release());
    pg.VendorLib.clear();
    BRIVEL_OK(c.open());
    QVERIFY(pg.library() == first);
    long long one = -1;
    BRIVEL_OK(one = c.queryInt("SELECT COUNT(*) QTD FROM (SELECT 1) x WHERE :TABELA = 'a'", "TABELA", "a", "QTD"));
    QCOMPARE(one, 1LL);
}

QTEST_GUILESS_MAIN(ConnectionTest)
#include "test_connection.moc"
