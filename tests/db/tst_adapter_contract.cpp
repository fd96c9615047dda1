// What every adapter promises through db::Connection, checked on each kind with
// the same cases: PostgreSQL, MariaDB, Firebird and SQLite for real, SQL Server
// through the PostgreSQL ODBC driver under a SQL Server driver name, Oracle
// through the OCI stand-in. A kind brings only a small context: how to reach a
// fresh database and what its dialect needs.
#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "core/LocalClients.h"
#include "db/AdapterFactories.h"
#include "db/Connection.h"
#include "db/ConnectionSetup.h"
#include "db/DbAdapter.h"
#include "db/DriverLink.h"
#include "DbFixtures.h"
#include "OdbcDriverLists.h"
#include "support/TempFolder.h"

#include <QtTest>

#include <memory>

using namespace brivel;
using namespace brivel::test;

#ifndef BRIVEL_FAKE_OCI
#error "BRIVEL_FAKE_OCI: the OCI stand-in library"
#endif

namespace {

std::string S(const QString& s) { return s.toStdString(); }

// One kind's connection to a fresh database, defined as the connection page does.
struct KindContext {
    std::unique_ptr<TempFolder> folder;
    std::unique_ptr<db::DriverLink> oracleLink;
    std::unique_ptr<db::Connection> conn;
    std::string from = "";          // what a one-row SELECT needs after its select list
    std::string nullValue = "NULL";  // a NULL the kind can describe in a select list

    ~KindContext()
    {
        if (conn)
            conn->close();
    }
};

void Define(db::Connection& c, const ConnectionFields& f) { db::SetUpConnection(c, f); }

ConnectionFields Fields(TTipoBanco kind, const QString& host, const QString& port, const QString& database,
                        const QString& user, const QString& password)
{
    ConnectionFields f;
    f.kindIndex = kind;
    f.servidor = S(host);
    f.porta = S(port);
    f.database = S(database);
    f.usuario = S(user);
    f.senha = S(password);
    return f;
}

Outcome Prepare(const QString& kind, KindContext& k)
{
    k.conn = std::make_unique<db::Connection>();
    if (kind == "postgresql" || kind == "sqlserver") {
        PgServer pg;
        QString db;
        if (auto o = ReadPgServer(pg); !o)
            return o;
        if (auto o = CreatePgDatabase(pg, db); !o)
            return o;
        if (kind == "sqlserver")
            if (auto o = UseServersDriverList(); !o)
                return o;
        Define(*k.conn, Fields(kind == "postgresql" ? tbPostgreSQL : tbSQLServer, pg.host, pg.port, db, pg.user,
                               pg.password));
        return {};
    }
    if (kind == "mysql") {
        MariaDbServer m;
        QString db;
        if (auto o = ReadMariaDbServer(m); !o)
            return o;
        if (auto o = CreateMariaDbDatabase(m, db); !o)
            return o;
        Define(*k.conn, Fields(tbMySQL, m.host, m.port, db, m.user, m.password));
        k.from = " FROM DUAL";
        return {};
    }
    if (kind == "firebird") {
        FbServer fb;
        QString path;
        if (auto o = ReadFbServer(fb); !o)
            return o;
        if (auto o = CreateFbDatabase(fb, path); !o)
            return o;
        Define(*k.conn, Fields(tbFirebird, fb.host, fb.port, path, fb.user, fb.password));
        k.from = " FROM RDB$DATABASE";
        k.nullValue = "CAST(NULL AS INTEGER)";  // a bare NULL has no type to describe
        return {};
    }
    k.folder = std::make_unique<TempFolder>();
    if (kind == "sqlite") {
        Define(*k.conn, Fields(tbSQLite, {}, {}, k.folder->file("contrato.db"), {}, {}));
        return {};
    }
    // Oracle: the stand-in as the Instant Client in a folder of its own.
    if (!QFile::copy(QStringLiteral(BRIVEL_FAKE_OCI), k.folder->file("libclntsh.so")))
        return Outcome::Fail("cannot copy the OCI stand-in");
    k.folder->write("libociei.so", QByteArray());
    k.oracleLink = std::make_unique<db::DriverLink>("Ora", "Oracle", db::OracleLibraryFiles());
    k.conn = std::make_unique<db::Connection>(db::DriverLinks{nullptr, k.oracleLink.get()});
    db::SetUpConnection(*k.conn, Fields(tbOracle, "dbhost", "1521", "XEPDB1", "BRIVEL", "tiger"), S(k.folder->path()));
    k.from = " FROM DUAL";
    return {};
}

void AddKinds()
{
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"postgresql", "mysql", "firebird", "sqlite", "sqlserver", "oracle"})
        QTest::newRow(kind) << kind;
}

} // namespace

class AdapterContractTest : public QObject {
    Q_OBJECT
private slots:
    // The one-parameter query: the named column of the first row, and where the
    // answer holds no number, the same error on every kind (never a 0 read into it).
    void queryIntAnswersOrSaysWhyNot_data() { AddKinds(); }
    void queryIntAnswersOrSaysWhyNot()
    {
        QFETCH(QString, kind);
        KindContext k;
        BRIVEL_REQUIRE(Prepare(kind, k));
        db::Connection& c = *k.conn;
        BRIVEL_OK(c.open());
        const std::string where = k.from + " WHERE :TABELA = 'sim'";
        const std::string seven = "SELECT 7 QTD" + where;

        long long value = 0;
        BRIVEL_OK(value = c.queryInt(seven, "TABELA", "sim", "QTD"));
        QCOMPARE(value, 7LL);
        BRIVEL_OK(value = c.queryInt(seven, "TABELA", "sim", "qtd"));  // the column's name in any case
        QCOMPARE(value, 7LL);

        const struct {
            const char* name;
            std::string sql, value, column, error;
        } cases[] = {
            {"missing column", seven, "sim", "OUTRA", db::MissingColumnText("OUTRA")},
            {"no row", seven, "nao", "QTD", db::NoRowText()},
            {"NULL", "SELECT " + k.nullValue + " QTD" + where, "sim", "QTD", db::NullValueText("QTD")},
        };
        for (const auto& t : cases) {
            const QString error = ErrorOf([&] { c.queryInt(t.sql, "TABELA", t.value, t.column); });
            QVERIFY2(error == QString::fromStdString(t.error),
                     qPrintable(QStringLiteral("%1: %2").arg(t.name, error.isNull() ? "no error" : error)));
        }
        // None of them spoils the connection.
        BRIVEL_OK(value = c.queryInt(seven, "TABELA", "sim", "QTD"));
        QCOMPARE(value, 7LL);
        QVERIFY(!c.inTransaction());
    }
};

QTEST_GUILESS_MAIN(AdapterContractTest)
#include "tst_adapter_contract.moc"
