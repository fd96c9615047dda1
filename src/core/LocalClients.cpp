#include "core/LocalClients.h"

#include "core/AppPaths.h"
#include "core/AsciiText.h"
#include "core/Error.h"
#include "core/KindDescriptor.h"

namespace brivel {

// The first of the files the kind's adapter tries.
std::string PostgresLocalLibraryName() { return KindOf(tbPostgreSQL).clientLibraries.here().front(); }
std::string OracleLocalLibraryName() { return KindOf(tbOracle).clientLibraries.here().front(); }

#ifdef _WIN32
std::vector<std::string> OracleDataLibraryNames()
{
    return {"oraociei12.dll", "oraociei18.dll", "oraociei19.dll", "oraociei21.dll"};
}
static const char* const kOracleDataPattern = "oraocieiXX.dll";
#else
// The Instant Client's data library: Basic, then Basic Light.
std::vector<std::string> OracleDataLibraryNames() { return {"libociei.so", "libociicus.so"}; }
static const char* const kOracleDataPattern = "libociei.so";
#endif

std::string ClientArchitectureText()
{
    return "de " + std::to_string(sizeof(void*) * 8) + " bits (a mesma arquitetura deste programa)";
}

LocalClientSetup PreparePostgreSQLClient(const std::string& exeFolder)
{
    const std::string folder = WithTrailingSeparator(exeFolder);
    const std::string library = folder + PostgresLocalLibraryName();
    if (!FileExists(library))
        throw Error("Não foi encontrado " + PostgresLocalLibraryName() + " em:\r\n" + library + "\r\nCopie a " +
                    PostgresLocalLibraryName() + " " + ClientArchitectureText() +
                    ", com as bibliotecas de que ela depende, para a pasta do EXE.");
    SetEnv("PATH", folder + kPathListSeparator + GetEnv("PATH"));
    return {library, ""};
}

LocalClientSetup PrepareOracleClient(const std::string& exeFolder)
{
    const std::string folder = WithTrailingSeparator(exeFolder);
    if (!FileExists(folder + OracleLocalLibraryName()))
        throw Error("Não foi encontrado o arquivo " + OracleLocalLibraryName() +
                    " na pasta do sistema.\r\nCopie o Oracle Instant Client " + ClientArchitectureText() +
                    " para a pasta do EXE.");
    bool dataFound = false;
    for (const auto& name : OracleDataLibraryNames()) {
        if (FileExists(folder + name)) {
            dataFound = true;
            break;
        }
    }
    if (!dataFound)
        throw Error(std::string("Não foi encontrado o arquivo ") + kOracleDataPattern +
                    " na pasta do sistema.\r\nCopie o Oracle Instant Client completo para a pasta do EXE.");
    const std::string path = GetEnv("PATH");
    if (UpperAscii(path).find(UpperAscii(folder)) == std::string::npos)
        SetEnv("PATH", folder + kPathListSeparator + path);
    return {folder + OracleLocalLibraryName(), folder};
}

} // namespace brivel
