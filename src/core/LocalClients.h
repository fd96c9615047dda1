#pragma once
#include <string>
#include <vector>

namespace brivel {

// The client library that lies beside the executable, for PostgreSQL and Oracle.
struct LocalClientSetup {
    std::string libraryPath;  // what the driver link loads
    std::string homeFolder;   // empty for PostgreSQL
};

// File names beside the executable, per platform.
std::string PostgresLocalLibraryName();            // libpq.dll / libpq.so.5
std::string OracleLocalLibraryName();              // oci.dll / libclntsh.so
std::vector<std::string> OracleDataLibraryNames(); // oraociei12.dll... / libociei.so

// "de 32 bits (a mesma arquitetura deste programa)", with the bits of this build:
// a client library loads only into a program of its own architecture, whatever
// the system's (a 32-bit program on 64-bit Windows needs 32-bit clients).
std::string ClientArchitectureText();

// Checks the library, then puts the folder in front of PATH (every call).
// Throws brivel::Error naming the missing file before changing anything.
LocalClientSetup PreparePostgreSQLClient(const std::string& exeFolder);

// Checks the library and a data library, then puts the folder in front of PATH
// only when its text (letters a-z compared without case) is not in PATH yet.
LocalClientSetup PrepareOracleClient(const std::string& exeFolder);

} // namespace brivel
