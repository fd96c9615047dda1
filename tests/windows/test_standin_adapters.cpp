// Oracle and Firebird through db::Connection over stand-ins of their client
// libraries built for Windows: oci.dll from tests/standins/oci, copied into an
// Instant Client folder as the program's folder would hold it, and fbclient.dll
// from tests/standins/fbclient beside this program, which refuses a wrong call
// sequence. No Oracle server nor a Windows build of Firebird's client is at hand.
#include "Check.h"
#include "Installation.h"
#include "WinSupport.h"

#include "core/AppPaths.h"
#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "core/Error.h"
#include "core/LocalClients.h"
#include "db/AdapterFactories.h"
#include "db/Connection.h"
#include "db/DriverLink.h"
#include "support/ConnectionSetup.h"

#include <sstream>
#include <vector>
#include <windows.h>

using namespace brivel;
using brivel::db::Connection;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line.back() == '\r' ? line.substr(0, line.size() - 1) : line);
    return lines;
}

using test::DefineConnection;

ConnectionFields Fields(TTipoBanco kind, const std::string& server, const std::string& database,
                        const std::string& password)
{
    return test::FieldsOf(kind, server, kind == tbOracle ? "1521" : "3050", database,
                          kind == tbOracle ? "BRIVEL" : "SYSDBA", password);
}

// An Instant Client folder holding the stand-in as oci.dll, and its Oracle link.
class OracleFolder {
public:
    OracleFolder() : dir_("Oracle Instalação"), path_("PATH"), link_("Ora", "Oracle", db::OracleLibraryFiles())
    {
        wintest::CopyTo(wintest::ProgramFolder() + "standins\\oci.dll", dir_.file("oci.dll"));
        dir_.touch("oraociei19.dll");
        const LocalClientSetup setup = PrepareOracleClient(dir_.path());
        link_.VendorLib = setup.libraryPath;
        link_.VendorHome = setup.homeFolder;
    }
    db::DriverLinks links() { return {nullptr, &link_}; }
    std::vector<std::string> log() const { return Lines(wintest::ReadBytes(dir_.file("fakeoci.log"))); }
    const wintest::TempFolder& dir() const { return dir_; }

private:
    wintest::TempFolder dir_;
    wintest::EnvGuard path_;
    db::DriverLink link_;
};

std::vector<std::string> FirebirdLog()
{
    return Lines(wintest::ReadBytes(wintest::ProgramFolder() + "fbclient.log"));
}

} // namespace

TEST_CASE("oracle: oci.dll from the Instant Client folder: connection test, installation, found installed")
{
    OracleFolder ora;
    Connection c(ora.links());
    DefineConnection(c, Fields(tbOracle, "dbhost", "XEPDB1", "tiger"));
    c.open();
    CHECK(c.connected());
    CHECK(!wintest::TableExists(c, tbOracle, "API_CONFIG"));
    CHECK_EQ(wintest::Install(c, tbOracle).result.error, std::string());
    CHECK(wintest::TableExists(c, tbOracle, "api_config"));
    CHECK(wintest::TableExists(c, tbOracle, "API_USUARIOS"));
    CHECK_EQ(int(wintest::Install(c, tbOracle).result.outcome), int(InstallOutcome::AlreadyInstalled));
    c.close();
    const auto log = ora.log();
    CHECK_EQ(log.back(), std::string("FREE ENV live=0"));  // every handle given back
    CHECK(Contains(wintest::Show(log), "BIND :TABELA=api_config"));
    CHECK_EQ(ora.links().oracle->library()->file(), ora.dir().file("oci.dll"));
}

TEST_CASE("oracle: a failure midway drops the tables of the run with every Oracle record")
{
    OracleFolder ora;
    Connection c(ora.links());
    DefineConnection(c, Fields(tbOracle, "dbhost", "XEPDB1", "tiger"));
    c.open();
    const InstallResult r = wintest::Install(c, tbOracle, 4, "INSERT INTO X VALUES (1) /*ERRO_RECURSIVO*/").result;
    CHECK_EQ(int(r.outcome), int(InstallOutcome::Failed));
    CHECK(Contains(r.error, "ORA-"));
    CHECK(Contains(r.error, "\n"));  // both records
    // DDL commits by itself: the three tables created are dropped again, newest first.
    CHECK_EQ(r.undone, (std::vector<std::string>{"API_ROTA_PARAMETROS", "API_ROTAS", "API_CONFIG"}));
    CHECK(r.leftBehind.empty());
    for (const char* table : {"API_CONFIG", "API_SEQUENCIAIS", "API_ROTAS"}) {
        wintest::Row row(table);
        CHECK(!wintest::TableExists(c, tbOracle, table));
    }
    c.close();
}

TEST_CASE("firebird: fbclient.dll stand-in beside the program: installation committed table by table, found installed")
{
    DeleteFileW(wintest::W(wintest::ProgramFolder() + "fbclient.log").c_str());
    const std::string database = "C:\\Dados\\" + wintest::UniqueName("brivel") + ".fdb";
    Connection c;
    DefineConnection(c, Fields(tbFirebird, "localhost", database, "masterkey"));
    c.open();  // the connection test
    c.close();
    c.open();
    CHECK(!wintest::TableExists(c, tbFirebird, "API_CONFIG"));
    CHECK_EQ(wintest::Install(c, tbFirebird).result.error, std::string());
    CHECK(wintest::TableExists(c, tbFirebird, "api_config"));
    CHECK_EQ(c.queryInt("SELECT COUNT(*) QTD FROM API_SEQUENCIAIS WHERE NOME_TABELA <> :TABELA", "TABELA", "", "QTD"),
             5LL);
    c.close();

    const auto log = FirebirdLog();
    CHECK_EQ(log.front(), "attach localhost/3050:" + database);
    // The stand-in refused nothing: no misuse of handles, blocks or order.
    CHECK(!Contains(wintest::Show(log), "error"));
    CHECK_EQ(log[log.size() - 2], std::string("detach"));
    CHECK_EQ(log.back(), std::string("  statements still allocated: 0"));
}

TEST_CASE("firebird: a failure midway drops the tables of the run with the client's message; an unknown host is named")
{
    const std::string database = "C:\\Dados\\" + wintest::UniqueName("brivel") + ".fdb";
    Connection c;
    DefineConnection(c, Fields(tbFirebird, "localhost", database, "masterkey"));
    c.open();
    const InstallResult r = wintest::Install(c, tbFirebird, 5, "INSERT INTO API_CONFIG VALUES (1) /*FALHA*/").result;
    CHECK_EQ(int(r.outcome), int(InstallOutcome::Failed));
    CHECK(Contains(r.error, "Falha provocada pelo teste"));
    CHECK(!Contains(r.error, "fbclient stand-in"));
    CHECK(r.leftBehind.empty());
    CHECK(!c.inTransaction());
    for (const char* table : {"API_CONFIG", "API_SEQUENCIAIS", "API_ROTAS"}) {
        wintest::Row row(table);
        CHECK(!wintest::TableExists(c, tbFirebird, table));
    }
    CHECK_EQ(wintest::Install(c, tbFirebird).result.error, std::string());
    c.close();

    DefineConnection(c, Fields(tbFirebird, "nowhere", database, "masterkey"));
    CHECK(Contains(ERROR_MESSAGE(c.open()), "Unable to complete network request to host \"nowhere\""));
}
