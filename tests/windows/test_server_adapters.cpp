// PostgreSQL, MariaDB and SQL Server through db::Connection against the host's
// throwaway servers (scripts/test-servers.sh), with client DLLs built for
// Windows: libpq.dll and libmariadb.dll from Debian's sources beside this
// program, and Wine's odbc32.dll, which hands ODBC calls to the host's unixODBC
// and the PostgreSQL driver registered there as "ODBC Driver 17 for SQL Server".
#include <winsock2.h>  // before anything that may bring windows.h

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

#include <chrono>
#include <cstdio>
#include <thread>

using namespace brivel;
using brivel::db::Connection;
using wintest::ServerEnv;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A loopback port that takes connections (the system's backlog) and never answers.
class SilentPort {
public:
    SilentPort()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof a;
        if (::bind(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(socket_, 8) == 0 &&
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&a), &length) == 0)
            port_ = ntohs(a.sin_port);
    }
    ~SilentPort()
    {
        closesocket(socket_);
        WSACleanup();
    }
    unsigned port() const { return port_; }

private:
    SOCKET socket_ = INVALID_SOCKET;
    unsigned port_ = 0;
};

struct Server {
    TTipoBanco kind;
    std::string host, port, user, password, adminDatabase;
};

Server PostgresServer()
{
    return {tbPostgreSQL, ServerEnv("BRIVEL_TEST_PG_HOST"), ServerEnv("BRIVEL_TEST_PG_PORT"),
            ServerEnv("BRIVEL_TEST_PG_USER"), ServerEnv("BRIVEL_TEST_PG_PASSWORD"), ServerEnv("BRIVEL_TEST_PG_DB")};
}

Server MariaServer()
{
    return {tbMySQL, ServerEnv("BRIVEL_TEST_MARIADB_HOST"), ServerEnv("BRIVEL_TEST_MARIADB_PORT"),
            ServerEnv("BRIVEL_TEST_MARIADB_USER"), ServerEnv("BRIVEL_TEST_MARIADB_PASSWORD"), ""};
}

// Defines the connection as the connection test does for the server page.
void Define(Connection& c, TTipoBanco kind, const Server& s, const std::string& database,
            const std::string& password)
{
    test::DefineConnection(c, test::FieldsOf(kind, s.host, s.port, database, s.user, password));
}

// PostgreSQL's client as the wizard takes it: libpq.dll from the program's folder.
class PostgresClient {
public:
    PostgresClient() : path_("PATH"), link_("PG", "PostgreSQL", db::PostgresLibraryFiles())
    {
        link_.VendorLib = PreparePostgreSQLClient(ExecutableFolder()).libraryPath;
    }
    db::DriverLinks links() { return {&link_, nullptr}; }
    db::DriverLink& link() { return link_; }

private:
    wintest::EnvGuard path_;
    db::DriverLink link_;
};

// A database of its own on the server `s`, dropped at the end.
class ThrowawayDatabase {
public:
    ThrowawayDatabase(const Server& s, db::DriverLinks links) : server_(s), links_(links)
    {
        name_ = wintest::UniqueName("brivel_win_");
        run("CREATE DATABASE " + name_);
    }
    ~ThrowawayDatabase()
    {
        try {
            run("DROP DATABASE " + name_);
        } catch (...) {
        }
    }
    const std::string& name() const { return name_; }

private:
    void run(const std::string& sql)
    {
        Connection admin(links_);
        Define(admin, server_.kind, server_, server_.adminDatabase, server_.password);
        admin.open();
        admin.execSQL(sql);
        admin.close();
    }
    Server server_;
    db::DriverLinks links_;
    std::string name_;
};

// The connection test, an installation and a second look that finds it installed.
void InstallsAndFindsIt(const Server& s, db::DriverLinks links)
{
    ThrowawayDatabase database(s, links);
    Connection c(links);
    Define(c, s.kind, s, database.name(), s.password);
    c.open();  // the connection test
    CHECK(c.connected());
    c.close();

    c.open();
    CHECK(!wintest::TableExists(c, s.kind, "API_CONFIG"));
    const wintest::Installation installed = wintest::Install(c, s.kind);
    CHECK_EQ(installed.result.error, std::string());
    CHECK_EQ(int(installed.result.outcome), int(InstallOutcome::Installed));
    CHECK_EQ(installed.log.back(), std::string("Estrutura criada com sucesso."));
    CHECK(!c.inTransaction());
    c.close();

    c.open();
    CHECK(wintest::TableExists(c, s.kind, "api_config"));
    CHECK(wintest::TableExists(c, s.kind, "API_ROTA_PARAMETROS"));
    // Every table and seed row found: a second run has nothing to do.
    CHECK_EQ(int(wintest::Install(c, s.kind).result.outcome), int(InstallOutcome::AlreadyInstalled));
    CHECK_EQ(c.queryInt("SELECT ULTIMO_ID QTD FROM API_SEQUENCIAIS WHERE NOME_TABELA = :TABELA", "TABELA",
                        "API_CONFIG", "QTD"),
             1LL);
    c.close();
}

// A statement failing midway: the server's message comes back and no table of the run is left.
void FailureMidwayIsUndone(const Server& s, db::DriverLinks links)
{
    ThrowawayDatabase database(s, links);
    Connection c(links);
    Define(c, s.kind, s, database.name(), s.password);
    c.open();
    const InstallResult r = wintest::Install(c, s.kind, 6, "INSERT INTO NAO_EXISTE_WIN VALUES (1)").result;
    CHECK_EQ(int(r.outcome), int(InstallOutcome::Failed));
    CHECK(Contains(r.error, "nao_existe_win") || Contains(r.error, "NAO_EXISTE_WIN"));
    CHECK(r.leftBehind.empty());
    CHECK(!c.inTransaction());
    for (const char* table : {"API_CONFIG", "API_SEQUENCIAIS", "API_ROTAS"}) {
        wintest::Row row(table);
        CHECK(!wintest::TableExists(c, s.kind, table));
    }
    // The same connection installs everything afterwards.
    CHECK_EQ(wintest::Install(c, s.kind).result.error, std::string());
    CHECK(wintest::TableExists(c, s.kind, "API_CONFIG"));
    c.close();
}

void WrongPasswordSaysSoWithoutIt(const Server& s, db::DriverLinks links, const std::string& serverWords)
{
    Connection c(links);
    Define(c, s.kind, s, s.adminDatabase, "senha-errada-xyz");
    const std::string message = ERROR_MESSAGE(c.open());
    CHECK(Contains(message, serverWords));
    // Read from the Windows DLL's codes: the line naming the likely cause follows.
    CHECK(Contains(message, serverWords) &&
          message.find("\r\nCausa provável: usuário ou senha incorretos.") > message.find(serverWords));
    CHECK(!Contains(message, "senha-errada-xyz"));
    CHECK(!c.connected());
}

// The library's non-blocking connect: a cancel ends the wait at once.
void CancelEndsAConnectThatWaits(Server s, db::DriverLinks links)
{
    SilentPort silent;
    CHECK(silent.port() != 0);
    s.port = std::to_string(silent.port());
    Connection c(links);
    Define(c, s.kind, s, s.adminDatabase, s.password);
    std::string message;
    std::chrono::steady_clock::time_point ended;
    std::thread worker([&] {
        message = ERROR_MESSAGE(c.open());
        ended = std::chrono::steady_clock::now();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto cancelled = std::chrono::steady_clock::now();
    c.cancel();
    worker.join();
    CHECK_EQ(message, std::string("Operação cancelada pelo usuário."));
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(ended - cancelled).count();
    std::printf("  the connect ended %lld ms after the cancel (its bound: 10 s)\n", static_cast<long long>(ms));
    CHECK(ms < 5000);
}

} // namespace

TEST_CASE("postgresql: libpq.dll from the program's folder: connection test, installation, found installed")
{
    PostgresClient client;
    CHECK_EQ(client.link().VendorLib, ExecutableFolder() + "libpq.dll");
    InstallsAndFindsIt(PostgresServer(), client.links());
    CHECK_EQ(client.link().library()->file(), ExecutableFolder() + "libpq.dll");
}

TEST_CASE("postgresql: a failure midway is rolled back with the server's message; a wrong password is refused; a cancel ends a waiting connect")
{
    PostgresClient client;
    FailureMidwayIsUndone(PostgresServer(), client.links());
    WrongPasswordSaysSoWithoutIt(PostgresServer(), client.links(), "password authentication failed");
    CancelEndsAConnectThatWaits(PostgresServer(), client.links());
}

TEST_CASE("mariadb: libmariadb.dll under the name the program tries: connection test, installation, found installed")
{
    CHECK(Contains(wintest::Show(db::MySqlLibraryFiles()), "libmariadb"));
    InstallsAndFindsIt(MariaServer(), {});
}

TEST_CASE("mariadb: a failure midway drops the tables of the run with the server's message; a wrong password is refused; a cancel ends a waiting connect")
{
    FailureMidwayIsUndone(MariaServer(), {});
    WrongPasswordSaysSoWithoutIt(MariaServer(), {}, "Access denied");
    CancelEndsAConnectThatWaits(MariaServer(), {});
}

// Transactions, the parameter query and wide text through odbc32.dll: the adapter contract.
TEST_CASE("sqlserver: through Wine's odbc32.dll, a failing statement carries the driver's SQLSTATE")
{
    const Server pg = PostgresServer();
    PostgresClient client;
    ThrowawayDatabase database(pg, client.links());

    Connection c;
    Define(c, tbSQLServer, pg, database.name(), pg.password);
    c.open();
    const std::string message = ERROR_MESSAGE(c.execSQL("INSERT INTO NAO_EXISTE_WIN VALUES (1)"));
    CHECK(Contains(message, "nao_existe_win"));
    CHECK(Contains(message, "[42P01]"));  // read through SQLGetDiagRecW
    c.close();
}
