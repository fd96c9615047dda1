// The start-up check of the program's folder, with Windows' own file API.
#include "Check.h"
#include "WinSupport.h"

#include "core/AppPaths.h"
#include "core/FolderAccess.h"

#include <filesystem>
#include <windows.h>

using namespace brivel;
using wintest::TempFolder;
using wintest::W;

namespace {
std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(W(folder))))
        names.push_back(wintest::U(e.path().filename().wstring()));
    return names;
}
} // namespace

TEST_CASE("folder check: a writable folder, configApi.ini left as it is")
{
    TempFolder tmp("Configuração");
    const std::string bytes = "[BANCO]\r\nTipo=SQLITE\r\n";
    wintest::WriteBytes(tmp.file("configApi.ini"), bytes);
    CHECK_EQ(ConfigFolderWriteProblem(tmp.path()), std::string());
    CHECK_EQ(ConfigFolderWriteProblem(tmp.path().substr(0, tmp.path().size() - 1)), std::string());
    CHECK_EQ(Names(tmp.path()), std::vector<std::string>{"configApi.ini"});
    CHECK_EQ(wintest::ReadBytes(tmp.file("configApi.ini")), bytes);
}

TEST_CASE("folder check: a read-only configApi.ini, a missing folder")
{
    TempFolder tmp;
    wintest::WriteBytes(tmp.file("configApi.ini"), "[API]\r\n");
    CHECK(SetFileAttributesW(W(tmp.file("configApi.ini")).c_str(), FILE_ATTRIBUTE_READONLY));
    CHECK_EQ(ConfigFolderWriteProblem(tmp.path()), std::string("o arquivo configApi.ini existente é somente leitura"));
    CHECK(SetFileAttributesW(W(tmp.file("configApi.ini")).c_str(), FILE_ATTRIBUTE_NORMAL));
    CHECK_EQ(ConfigFolderWriteProblem(tmp.path() + "não existe\\"), std::string("a pasta não existe (código 3)"));
    CHECK_EQ(Names(tmp.path()), std::vector<std::string>{"configApi.ini"});
}

// scripts/test-windows.sh names a folder Wine may not write (read-only on the Unix side).
TEST_CASE("folder check: a folder the process may not write")
{
    const std::string folder = GetEnv("BRIVEL_READONLY_FOLDER");
    CHECK(!folder.empty());
    const std::string problem = ConfigFolderWriteProblem(folder);
    CHECK_EQ(problem, std::string("acesso negado (código 5)"));
    CHECK(Names(folder).empty());
}
