// The script text, its statements and the connection definition, as built by the Windows compiler.
#include "Check.h"
#include "WinSupport.h"

#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "core/SchemaScript.h"
#include "core/AsciiText.h"
#include "core/StatementSplitter.h"

using namespace brivel;

TEST_CASE("script: MySQL text equals the fixture byte for byte")
{
    const std::string fixture = wintest::ReadBytes(wintest::ProgramFolder() + "fixtures\\script_mysql.sql");
    const std::string script = ScriptFor(tbMySQL);
    CHECK_EQ(script.size(), fixture.size());
    CHECK(script == fixture);
}

TEST_CASE("splitter: every kind's script gives its 13 statements, covering the whole text")
{
    const char* const firstWords[13] = {
        "CREATE TABLE API_CONFIG (",     "CREATE TABLE API_ROTAS (",         "CREATE TABLE API_ROTA_PARAMETROS (",
        "CREATE TABLE API_USUARIOS (",   "CREATE TABLE API_LOG_CHAMADAS (",  "CREATE TABLE API_SEQUENCIAIS (",
        "INSERT INTO API_SEQUENCIAIS",   "INSERT INTO API_SEQUENCIAIS",      "INSERT INTO API_SEQUENCIAIS",
        "INSERT INTO API_SEQUENCIAIS",   "INSERT INTO API_SEQUENCIAIS",      "INSERT INTO API_CONFIG",
        "UPDATE API_SEQUENCIAIS SET ULTIMO_ID = 1 WHERE NOME_TABELA = 'API_CONFIG'"};
    for (int k = 0; k < kKindCount; ++k) {
        wintest::Row row(DisplayName(static_cast<TTipoBanco>(k)));
        const std::string script = ScriptFor(static_cast<TTipoBanco>(k));
        const auto statements = SplitStatements(script);
        CHECK_EQ(statements.size(), size_t(13));
        size_t pos = 0;
        for (size_t i = 0; i < statements.size(); ++i) {
            const std::string& sql = statements[i].sql;
            CHECK(statements[i].logged);
            CHECK_EQ(sql.substr(0, std::string(firstWords[i]).size()), std::string(firstWords[i]));
            // Each statement is its lines of the script as they are, then ";"; only line breaks lie between.
            const size_t at = script.find(sql + ";", pos);
            CHECK(at != std::string::npos);
            CHECK_EQ(TrimControl(script.substr(pos, at - pos)), std::string());
            pos = at + sql.size() + 1;
        }
        CHECK_EQ(pos, script.size());
    }
}

namespace {
std::vector<std::string> Params(const ConnectionDefinition& def)
{
    std::vector<std::string> out;
    for (const auto& [name, value] : def.params())
        out.push_back(name + "=" + value);
    return out;
}
} // namespace

TEST_CASE("connection definition: each kind's parameters, texts trimmed as configApi.ini carries them, Windows paths kept")
{
    struct Case {
        int kind;
        ConnectionFields fields;
        const char* driver;
        std::vector<std::string> params;
    };
    const Case cases[] = {
        {tbSQLite, {4, "", "C:\\Programas\\Api\\brivel.db", "", "", ""}, "SQLite",
         {"DriverID=SQLite", "Database=C:\\Programas\\Api\\brivel.db", "LockingMode=Normal", "Synchronous=Normal"}},
        {tbSQLite, {4, "", "D:\\Instalação\\dados ção.db", "", "", ""}, "SQLite",
         {"DriverID=SQLite", "Database=D:\\Instalação\\dados ção.db", "LockingMode=Normal", "Synchronous=Normal"}},
        {tbMySQL, {0, " srv ", "vendas", "3306", "joão", "s€nha"}, "MySQL",
         {"DriverID=MySQL", "Server=srv", "Port=3306", "Database=vendas", "User_Name=joão", "Password=s€nha",
          "CharacterSet=utf8mb4"}},
        {tbFirebird, {1, "srv", "C:\\Dados\\BRIVEL.FDB", "3050", "SYSDBA", ""}, "FB",
         {"DriverID=FB", "Server=srv", "Port=3050", "Database=C:\\Dados\\BRIVEL.FDB", "User_Name=SYSDBA",
          "CharacterSet=NONE"}},
        {tbSQLServer, {3, "srv\\SQLEXPRESS", "vendas", "1433", "sa", "x"}, "MSSQL",
         {"DriverID=MSSQL", "Server=srv\\SQLEXPRESS", "Port=1433", "Database=vendas", "User_Name=sa", "Password=x",
          "OSAuthent=No"}},
        {tbPostgreSQL, {5, "srv", "vendas", "5432", "u", "p"}, "PG",
         {"DriverID=PG", "Server=srv", "Port=5432", "Database=vendas", "User_Name=u", "Password=p",
          "CharacterSet=utf8"}},
        {tbOracle, {2, "192.0.2.15", "VENDAS", "1521", "APIUSR", "p"}, "Ora",
         {"DriverID=Ora", "User_Name=APIUSR", "Password=p",
          "Database=(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=192.0.2.15)(PORT=1521))"
          "(CONNECT_DATA=(SERVICE_NAME=VENDAS)))",
          "CharacterSet=UTF8"}},
    };
    for (const auto& c : cases) {
        wintest::Row row(std::string(DisplayName(static_cast<TTipoBanco>(c.kind))) + " " + c.fields.database);
        const ConnectionDefinition def = DefinitionFor(c.fields);
        CHECK_EQ(def.driverID(), std::string(c.driver));
        CHECK_EQ(Params(def), c.params);
    }
}
