// Loading client libraries with LoadLibraryW/GetProcAddress.
#include "Check.h"
#include "WinSupport.h"

#include "core/Error.h"
#include "db/AdapterFactories.h"
#include "db/ClientLibrary.h"
#include "db/DriverLink.h"

using namespace brivel;
using namespace brivel::db;

namespace {
using LibVersion = const char* (*)();

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
} // namespace

TEST_CASE("client library: sqlite3.dll is found beside the program and its functions resolve")
{
    CHECK_EQ(SqliteLibraryFiles(), (std::vector<std::string>{"sqlite3.dll", "libdb_sql51.dll"}));
    const auto lib = ClientLibrary::Load(SqliteLibraryFiles(), "SQLite");
    CHECK_EQ(lib->file(), std::string("sqlite3.dll"));
    LibVersion version = nullptr;
    lib->resolve(version, "sqlite3_libversion");
    CHECK_EQ(std::string(version()).substr(0, 2), std::string("3."));
}

TEST_CASE("client library: a missing DLL and a missing function are named in the message")
{
    const std::string load = ERROR_MESSAGE(ClientLibrary::Load({"nao_existe_a.dll", "nao_existe_b.dll"}, "MySQL"));
    CHECK(Contains(load, "MySQL"));
    CHECK(Contains(load, "\nnao_existe_a.dll: "));
    CHECK(Contains(load, "\nnao_existe_b.dll: "));
    // The loader's own reason follows each name.
    CHECK(load.size() > load.find("nao_existe_b.dll: ") + std::string("nao_existe_b.dll: ").size());

    const auto lib = ClientLibrary::Load({"sqlite3.dll"}, "SQLite");
    CHECK_EQ(ERROR_MESSAGE(lib->symbol("sqlite3_funcao_inexistente")),
             std::string("A função sqlite3_funcao_inexistente não foi encontrada na biblioteca sqlite3.dll."));
}

TEST_CASE("client library: a full path through a non-ASCII folder, as the driver links give it")
{
    wintest::TempFolder dir("Instalação");
    wintest::CopyTo(wintest::ProgramFolder() + "sqlite3.dll", dir.file("libpq.dll"));

    DriverLink link("PG", "PostgreSQL", {"nao_existe.dll"});
    link.VendorLib = dir.file("libpq.dll");
    const auto first = link.library();
    CHECK_EQ(first->file(), dir.file("libpq.dll"));
    CHECK(link.library() == first);  // loaded once, kept until released
    LibVersion version = nullptr;
    first->resolve(version, "sqlite3_libversion");
    CHECK(version != nullptr);

    link.Release();
    CHECK(!link.loaded());
    link.VendorLib = dir.file("outra.dll");
    const std::string message = ERROR_MESSAGE(link.library());
    CHECK(Contains(message, "PostgreSQL"));
    CHECK(Contains(message, dir.file("outra.dll")));
}
