// The SQLite adapter through db::Connection, with sqlite3.dll built from Debian's source.
#include "Check.h"
#include "WinSupport.h"

#include "core/AppPaths.h"
#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "core/Error.h"
#include "core/InstallSteps.h"
#include "core/SchemaScript.h"
#include "core/StatementSplitter.h"
#include "db/Connection.h"
#include "db/DriverLink.h"
#include "support/ConnectionSetup.h"

using namespace brivel;
using brivel::db::Connection;

namespace {
// The installer's existence query for SQLite.
const std::string kExistsSql = ExistenceQuery(tbSQLite);

// Defines the connection as the connection test does for the SQLite page.
void Define(Connection& c, const std::string& file)
{
    test::DefineConnection(c, test::FieldsOf(tbSQLite, "", "", file, "", ""));
}

long long Count(Connection& c, const std::string& table, const std::string& where, const std::string& value)
{
    return c.queryInt("SELECT COUNT(*) QTD FROM " + table + " WHERE " + where + " = :TABELA", "TABELA", value, "QTD");
}
} // namespace

TEST_CASE("sqlite: opens a file in a non-ASCII folder, runs the script in one transaction, finds API_CONFIG")
{
    wintest::TempFolder dir("Instalação");
    const std::string file = dir.file("brivel ção.db");
    Connection c;
    Define(c, file);
    c.open();
    CHECK(c.connected());
    CHECK(FileExists(file));  // the UTF-8 name reached Windows as the same name

    CHECK_EQ(c.queryInt(kExistsSql, "TABELA", "API_CONFIG", "QTD"), 0LL);
    c.startTransaction();
    CHECK(c.inTransaction());
    for (const auto& st : SplitStatements(ScriptFor(tbSQLite)))
        c.execSQL(st.sql);
    c.commit();
    CHECK(!c.inTransaction());
    CHECK_EQ(c.queryInt(kExistsSql, "TABELA", "api_config", "qtd"), 1LL);
    CHECK_EQ(Count(c, "API_SEQUENCIAIS", "NOME_TABELA", "API_CONFIG"), 1LL);
    CHECK_EQ(c.queryInt("SELECT ULTIMO_ID QTD FROM API_SEQUENCIAIS WHERE NOME_TABELA = :TABELA", "TABELA",
                        "API_CONFIG", "QTD"),
             1LL);

    // Closing keeps the definition: a later open reaches the same file.
    c.close();
    CHECK(!c.connected());
    c.open();
    CHECK_EQ(c.queryInt(kExistsSql, "TABELA", "API_ROTA_PARAMETROS", "QTD"), 1LL);
    c.close();
}

// Transactions, errors and Portuguese text: the adapter contract (test_adapter_contract.cpp).

TEST_CASE("connection: a kind whose client DLL is missing says which library it could not load")
{
    wintest::TempFolder dir("Api");
    db::DriverLink pg("PG", "PostgreSQL", {"libpq.dll"});
    db::DriverLink ora("Ora", "Oracle", {"oci.dll"});
    pg.VendorLib = dir.file("libpq.dll");
    ora.VendorLib = dir.file("oci.dll");
    for (const char* id : {"PG", "Ora"}) {
        wintest::Row row(id);
        Connection c(db::DriverLinks{&pg, &ora});
        c.setDriverID(id);
        c.setParam("Server", "localhost");
        c.setParam("Database", "x");
        const std::string message = ERROR_MESSAGE(c.open());
        CHECK(message.find("Não foi possível carregar a biblioteca cliente do") != std::string::npos);
#ifdef _WIN64
        CHECK(message.find("A biblioteca cliente precisa ser de 64 bits (a mesma arquitetura deste programa).") !=
              std::string::npos);
#else
        CHECK(message.find("A biblioteca cliente precisa ser de 32 bits (a mesma arquitetura deste programa).") !=
              std::string::npos);
#endif
        CHECK(message.find(dir.path()) != std::string::npos);
        CHECK(message.find("não está disponível nesta versão do programa") == std::string::npos);
        CHECK(!c.connected());
    }
}
