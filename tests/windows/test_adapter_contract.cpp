// The adapter contract (tests/db/AdapterContract.cpp) under Wine, with the
// client DLLs built for Windows: libpq.dll and libmariadb.dll against the host's
// throwaway servers, Wine's odbc32.dll to the host's PostgreSQL ODBC driver
// registered as a SQL Server driver, sqlite3.dll, and the stand-ins oci.dll and
// fbclient.dll. The host's command-line clients cannot be started from here:
// results are looked at through a session of their own (for SQL Server through
// libpq.dll, another library than the one under test).
#include "Check.h"
#include "Installation.h"
#include "WinSupport.h"

#include "../db/AdapterContract.h"
#include "core/AppPaths.h"
#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "core/InstallSteps.h"
#include "core/LocalClients.h"
#include "db/AdapterFactories.h"
#include "db/Connection.h"
#include "db/DriverLink.h"
#include "support/ConnectionSetup.h"

#include <memory>

using namespace brivel;
using brivel::contract::KindContext;
using brivel::db::Connection;
using wintest::ServerEnv;

namespace {

using test::DefineConnection;
using test::FieldsOf;

// Everything a kind's context holds on to while its cases run.
struct Target {
    TTipoBanco kind = tbPostgreSQL;
    ConnectionFields fields;
    ConnectionFields lookFields;  // how the outside look reaches the same database
    std::unique_ptr<wintest::EnvGuard> path;
    std::unique_ptr<db::DriverLink> pgLink, oracleLink;
    std::unique_ptr<wintest::TempFolder> folder;
    std::string dropDatabase;  // on the PostgreSQL or MariaDB server, at the end

    db::DriverLinks links() { return {pgLink.get(), oracleLink.get()}; }
    std::unique_ptr<Connection> connection(const ConnectionFields& f)
    {
        auto c = std::make_unique<Connection>(links());
        DefineConnection(*c, f);
        return c;
    }
    void admin(const ConnectionFields& server, const std::string& sql)
    {
        auto c = connection(server);
        c->open();
        c->execSQL(sql);
        c->close();
    }
    ConnectionFields adminFields;
    ~Target()
    {
        if (!dropDatabase.empty())
            try {
                admin(adminFields, "DROP DATABASE " + dropDatabase);
            } catch (...) {
            }
    }
};

ConnectionFields PgFields(const std::string& database)
{
    return FieldsOf(tbPostgreSQL, ServerEnv("BRIVEL_TEST_PG_HOST"), ServerEnv("BRIVEL_TEST_PG_PORT"), database,
                  ServerEnv("BRIVEL_TEST_PG_USER"), ServerEnv("BRIVEL_TEST_PG_PASSWORD"));
}

void Prepare(TTipoBanco kind, Target& t, KindContext& k)
{
    t.kind = kind;
    k.kind = kind;
    k.ddl = contract::DdlFactsOf(kind);
    switch (kind) {
    case tbPostgreSQL:
    case tbSQLServer: {
        t.path = std::make_unique<wintest::EnvGuard>("PATH");
        t.pgLink = std::make_unique<db::DriverLink>("PG", "PostgreSQL", db::PostgresLibraryFiles());
        t.pgLink->VendorLib = PreparePostgreSQLClient(ExecutableFolder()).libraryPath;
        const std::string db = wintest::UniqueName("brivel_contrato_");
        t.adminFields = PgFields(ServerEnv("BRIVEL_TEST_PG_DB"));
        t.admin(t.adminFields, "CREATE DATABASE " + db);
        t.dropDatabase = db;
        t.lookFields = PgFields(db);
        t.fields = t.lookFields;
        t.fields.kindIndex = kind;
        k.refusal = "password authentication failed";
        break;
    }
    case tbMySQL: {
        const std::string db = wintest::UniqueName("brivel_contrato_");
        t.adminFields = FieldsOf(tbMySQL, ServerEnv("BRIVEL_TEST_MARIADB_HOST"), ServerEnv("BRIVEL_TEST_MARIADB_PORT"),
                               "", ServerEnv("BRIVEL_TEST_MARIADB_USER"), ServerEnv("BRIVEL_TEST_MARIADB_PASSWORD"));
        t.admin(t.adminFields, "CREATE DATABASE " + db + " CHARACTER SET utf8mb4");
        t.dropDatabase = db;
        t.fields = t.adminFields;
        t.fields.database = db;
        t.lookFields = t.fields;
        k.refusal = "Access denied";
        k.from = " FROM DUAL";
        k.exactly = " COLLATE utf8mb4_bin";  // the database's collation ignores accents
        break;
    }
    case tbFirebird:
        t.fields = FieldsOf(tbFirebird, "localhost", "3050", "C:\\Dados\\" + wintest::UniqueName("contrato") + ".fdb",
                          "SYSDBA", "masterkey");
        t.lookFields = t.fields;
        k.refusal = "Your user name and password are not defined";
        k.from = " FROM RDB$DATABASE";
        k.nullValue = "CAST(NULL AS INTEGER)";
        break;
    case tbSQLite:
        t.folder = std::make_unique<wintest::TempFolder>("Contrato Instalação");
        t.fields = FieldsOf(tbSQLite, "", "", t.folder->file("brivel.db"), "", "");
        t.lookFields = t.fields;
        break;
    case tbOracle:
        t.folder = std::make_unique<wintest::TempFolder>("Oracle Instalação");
        t.path = std::make_unique<wintest::EnvGuard>("PATH");
        wintest::CopyTo(wintest::ProgramFolder() + "standins\\oci.dll", t.folder->file("oci.dll"));
        t.folder->touch("oraociei19.dll");
        t.oracleLink = std::make_unique<db::DriverLink>("Ora", "Oracle", db::OracleLibraryFiles());
        {
            const LocalClientSetup setup = PrepareOracleClient(t.folder->path());
            t.oracleLink->VendorLib = setup.libraryPath;
            t.oracleLink->VendorHome = setup.homeFolder;
        }
        t.fields = FieldsOf(tbOracle, "dbhost", "1521", "XEPDB1", "BRIVEL", "tiger");
        t.lookFields = t.fields;
        k.refusal = "ORA-01017";
        k.missingTable = "ORA-00942";  // Oracle's text does not name the table
        k.from = " FROM DUAL";
        k.isolatesSessions = false;    // the stand-in keeps one set of rows for all
        k.hold = [](Connection& tested) {
            tested.execSQL("CREATE TABLE T_TRAVA (ID NUMBER)");
            tested.startTransaction();
            return contract::Held{"INSERT /*ESPERA*/ INTO T_TRAVA VALUES (1)", nullptr};
        };
        break;
    }
    k.password = t.fields.senha;
    k.connect = [&t](const std::string& password) {
        ConnectionFields f = t.fields;
        f.senha = password;
        return t.connection(f);
    };
    auto look = [&t](const std::string& sql, const std::string& value) {
        auto c = t.connection(t.lookFields);
        c->open();
        return c->queryInt(sql, "TABELA", value, "QTD");
    };
    const TTipoBanco lookKind = TTipoBanco(t.lookFields.kindIndex);
    k.tableExists = [=](const std::string& name) { return look(ExistenceQuery(lookKind), name) == 1; };
    // One parameter, as the query takes it.
    k.rows = [=](const std::string& table) { return look("SELECT COUNT(*) QTD FROM " + table + " WHERE 'x' = :TABELA", "x"); };
    if (kind == tbOracle || kind == tbFirebird) {
        // The stand-ins keep no values: the text is what reached them, in their logs.
        const std::string log = kind == tbOracle ? t.folder->file("fakeoci.log") : wintest::ProgramFolder() + "fbclient.log";
        k.storedText = [log](const std::string& table) {
            return contract::TextOfLoggedInsert(wintest::ReadBytes(log), table);
        };
        k.comparesText = false;
        return;
    }
    // No text comes back through the one-integer query: the server compares the
    // stored text with the expected one written as a literal, character by character.
    k.storedText = [=, exactly = k.exactly](const std::string& table) {
        const std::string literal = "'" + contract::kPortugueseText + "'";
        const std::string length = kind == tbMySQL ? "CHAR_LENGTH" : "LENGTH";
        const long long same = look("SELECT COUNT(*) QTD FROM " + table + " WHERE NOME = " + literal + exactly + " AND " +
                                        length + "(NOME) = " + length + "(" + literal + ") AND 'x' = :TABELA",
                                    "x");
        return same == 1 ? contract::kPortugueseText : std::string("(another text)");
    };
}

void RunContract(TTipoBanco kind, const contract::ContractCase& c)
{
    Target t;
    KindContext k;
    Prepare(kind, t, k);
    c.run(k);
}

// One case of the runner per kind and contract case.
const bool kRegistered = [] {
    const struct {
        TTipoBanco kind;
        const char* name;
    } kinds[] = {{tbPostgreSQL, "postgresql"}, {tbMySQL, "mysql"},       {tbFirebird, "firebird"},
                 {tbSQLite, "sqlite"},         {tbSQLServer, "sqlserver"}, {tbOracle, "oracle"}};
    for (const auto& kind : kinds)
        for (const contract::ContractCase& c : contract::ContractCases())
            // The fbclient stand-in has no statement that waits: cancelling on
            // Firebird is checked on Linux against the real server.
            if (!(c.waits && kind.kind == tbFirebird))
                wintest::Registry().push_back(
                {"contract: " + std::string(kind.name) + ": " + c.name, [kind = kind.kind, &c] { RunContract(kind, c); }});
    return true;
}();

} // namespace
