// The executable's folder, the environment and the local PostgreSQL and Oracle clients on Windows.
#include "Check.h"
#include "WinSupport.h"

#include "core/AppPaths.h"
#include "core/AsciiText.h"
#include "core/ConfigApiIni.h"
#include "core/Error.h"
#include "core/LocalClients.h"

#include <cstdlib>
#include <windows.h>

using namespace brivel;
using wintest::EnvGuard;
using wintest::TempFolder;

namespace {
// A client must match the program's architecture: a 32-bit program needs 32-bit
// clients on 64-bit Windows too.
#ifdef _WIN64
const std::string kArch = "de 64 bits (a mesma arquitetura deste programa)";
#else
const std::string kArch = "de 32 bits (a mesma arquitetura deste programa)";
#endif
} // namespace

TEST_CASE("paths: executable folder is the module's own folder, ending in one backslash")
{
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
    const std::string module = wintest::U(std::wstring(buffer, n));

    const std::string folder = ExecutableFolder();
    CHECK_EQ(folder, module.substr(0, module.rfind('\\') + 1));
    CHECK(folder.size() >= 4 && folder[1] == ':');
    CHECK(folder.substr(folder.size() - 2) != "\\\\");
    CHECK(FileExists(module));
    CHECK(!FileExists(folder));                    // a folder is not a file
    CHECK(!FileExists(folder + "nao-existe.dll"));
    CHECK_EQ(ConfigApiIniPath(folder), folder + "configApi.ini");
    CHECK_EQ(WithTrailingSeparator("C:\\Programas\\Api"), std::string("C:\\Programas\\Api\\"));
    CHECK_EQ(WithTrailingSeparator("C:\\Programas\\Api\\"), std::string("C:\\Programas\\Api\\"));
}

TEST_CASE("paths: FileExists and the environment take non-ASCII text through the wide API")
{
    TempFolder dir("Instalação €");
    dir.touch("oraociei19.dll");
    CHECK(FileExists(dir.file("oraociei19.dll")));
    CHECK(!FileExists(dir.file("oraociei21.dll")));

    EnvGuard guard("BRIVEL_TESTE");
    SetEnv("BRIVEL_TESTE", "C:\\Instalação\\;x€");
    CHECK_EQ(GetEnv("BRIVEL_TESTE"), std::string("C:\\Instalação\\;x€"));
    // The C runtime's copy, which libraries read with getenv, follows too.
    const wchar_t* crt = _wgetenv(L"BRIVEL_TESTE");
    CHECK(crt != nullptr);
    CHECK_EQ(wintest::U(crt), std::string("C:\\Instalação\\;x€"));
    wintest::UnsetEnv("BRIVEL_TESTE");
    CHECK_EQ(GetEnv("BRIVEL_TESTE"), std::string());
}

TEST_CASE("local clients: the Windows file names")
{
    CHECK_EQ(PostgresLocalLibraryName(), std::string("libpq.dll"));
    CHECK_EQ(OracleLocalLibraryName(), std::string("oci.dll"));
    CHECK_EQ(OracleDataLibraryNames(),
             (std::vector<std::string>{"oraociei12.dll", "oraociei18.dll", "oraociei19.dll", "oraociei21.dll"}));
}

TEST_CASE("local clients: PostgreSQL without libpq.dll names its full path and changes nothing")
{
    TempFolder dir("Api");
    EnvGuard guard("PATH");
    SetEnv("PATH", "C:\\windows\\system32");
    CHECK_EQ(ERROR_MESSAGE(PreparePostgreSQLClient(dir.path())),
             "Não foi encontrado libpq.dll em:\r\n" + dir.path() + "libpq.dll\r\nCopie a libpq.dll " + kArch +
                 ", com as bibliotecas de que ela depende, para a pasta do EXE.");
    CHECK_EQ(GetEnv("PATH"), std::string("C:\\windows\\system32"));
}

TEST_CASE("local clients: PostgreSQL puts the folder and ';' in front of PATH on every call")
{
    TempFolder dir("Instalação");
    dir.touch("libpq.dll");
    EnvGuard guard("PATH");
    SetEnv("PATH", "C:\\windows\\system32;C:\\windows");
    const std::string f = dir.path();
    for (int i = 0; i < 3; ++i) {
        const LocalClientSetup setup = PreparePostgreSQLClient(f);
        CHECK_EQ(setup.libraryPath, f + "libpq.dll");
        CHECK_EQ(setup.homeFolder, std::string());
    }
    CHECK_EQ(GetEnv("PATH"), f + ";" + f + ";" + f + ";C:\\windows\\system32;C:\\windows");

    wintest::UnsetEnv("PATH");
    PreparePostgreSQLClient(f.substr(0, f.size() - 1));  // the separator is added when missing
    CHECK_EQ(GetEnv("PATH"), f + ";");
}

TEST_CASE("local clients: Oracle's checks, messages and PATH search (letters a-z without case)")
{
    const std::string ociMissing =
        "Não foi encontrado o arquivo oci.dll na pasta do sistema.\r\n"
        "Copie o Oracle Instant Client " + kArch + " para a pasta do EXE.";
    const std::string dataMissing =
        "Não foi encontrado o arquivo oraocieiXX.dll na pasta do sistema.\r\n"
        "Copie o Oracle Instant Client completo para a pasta do EXE.";
    struct Case {
        const char* name;
        const char* folderName;
        std::vector<const char*> files;
        // "@" stands for the folder with its "\", "#" for it in lower case, "%" without its "\",
        // "^" for it wholly upper-cased, "~" for it with only a-z upper-cased.
        const char* pathBefore;
        const char* pathAfter;    // "" when PATH must stay as it was; "@" for the folder with its "\"
        const std::string* message;
    };
    const Case cases[] = {
        {"oci.dll missing", "Api", {"oraociei19.dll"}, "C:\\x", "", &ociMissing},
        {"only another data library", "Api", {"oci.dll", "oraociei11.dll", "oraociei23.dll"}, "C:\\x", "", &dataMissing},
        {"19 and 21 both present", "Api", {"oci.dll", "oraociei19.dll", "oraociei21.dll"}, "C:\\x", "@;C:\\x", nullptr},
        {"12", "Api", {"oci.dll", "oraociei12.dll"}, "C:\\x", "@;C:\\x", nullptr},
        {"already there in other case", "Api", {"oci.dll", "oraociei21.dll"}, "C:\\x;#", "", nullptr},
        {"subfolder in PATH counts", "Api", {"oci.dll", "oraociei18.dll"}, "@bin;C:\\x", "", nullptr},
        {"only without its backslash", "Api", {"oci.dll", "oraociei18.dll"}, "C:\\x;%", "@;C:\\x;%", nullptr},
        {"accented letters compared as they are", "Instalação", {"oci.dll", "oraociei19.dll"}, "C:\\x;^",
         "@;C:\\x;^", nullptr},
        {"accented folder found when only a-z differ in case", "Instalação", {"oci.dll", "oraociei19.dll"},
         "C:\\x;~", "", nullptr},
    };
    for (const auto& c : cases) {
        wintest::Row row(c.name);
        TempFolder dir(c.folderName);
        for (const char* file : c.files)
            dir.touch(file);
        const std::string f = dir.path();
        // The folder in lower case (a-z), without its "\", with a-z upper-cased, and wholly upper-cased.
        std::string lower = f, bare = f.substr(0, f.size() - 1), asciiUpper = UpperAscii(f);
        lower = LowerAscii(lower);
        std::string upper = asciiUpper;
        for (const auto& [from, to] : {std::pair<std::string, std::string>{"ç", "Ç"}, {"ã", "Ã"}})
            for (size_t at; (at = upper.find(from)) != std::string::npos;)
                upper.replace(at, from.size(), to);
        auto expand = [&](const std::string& pattern) {
            std::string out;
            for (char ch : pattern)
                out += ch == '@' ? f : ch == '#' ? lower : ch == '%' ? bare : ch == '^'   ? upper
                       : ch == '~' ? asciiUpper
                                   : std::string(1, ch);
            return out;
        };
        EnvGuard guard("PATH");
        const std::string before = expand(c.pathBefore);
        SetEnv("PATH", before);
        if (c.message) {
            CHECK_EQ(ERROR_MESSAGE(PrepareOracleClient(f)), *c.message);
            CHECK_EQ(GetEnv("PATH"), before);
            continue;
        }
        const LocalClientSetup setup = PrepareOracleClient(f);
        CHECK_EQ(setup.libraryPath, f + "oci.dll");
        CHECK_EQ(setup.homeFolder, f);
        const std::string after = *c.pathAfter ? expand(c.pathAfter) : before;
        CHECK_EQ(GetEnv("PATH"), after);
        PrepareOracleClient(f);  // a second call finds the folder and adds nothing
        CHECK_EQ(GetEnv("PATH"), after);
    }
}
