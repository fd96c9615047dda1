#pragma once
#include "core/DbKind.h"

#include <string>
#include <vector>

namespace brivel {

class ConnectionDefinition;
struct ConnectionFields;
struct LocalClientSetup;

// The five words that turn the one template into a kind's dialect.
struct DialectWords {
    std::string AInt;
    std::string AVarchar;
    std::string AText;
    std::string ADateTime;
    std::string ANow;
};

// File names per platform, tried in order.
struct PlatformFiles {
    std::vector<std::string> onLinux;
    std::vector<std::string> onWindows;
    const std::vector<std::string>& here() const
    {
#ifdef _WIN32
        return onWindows;
#else
        return onLinux;
#endif
    }
};

// What the program knows about one kind of database. One per kind, each in its
// own file of core/kinds; the kind list (DbKind.cpp) puts them in the order the
// user sees. The connection layer finds a kind's adapter by its driver id.
struct KindDescriptor {
    TTipoBanco kind;
    const char* displayName;  // "SQL Server"
    const char* configName;   // configApi.ini's Tipo: "SQLSERVER"
    const char* defaultPort;  // "" for a kind without a server
    const char* driverId;     // "MSSQL"

    DialectWords dialect;
    // Counts the tables named like :TABELA (case-insensitive), column QTD.
    std::string existenceQuery;
    // Counts the columns named like :COLUNA of a table given as a quoted upper-case literal.
    std::string (*columnExistenceQuery)(const std::string& tableLiteral);
    // A rollback also undoes CREATE TABLE.
    bool ddlTransactional;
    // A table created in a transaction is usable only once committed (each
    // CREATE TABLE is committed at once). Kinds with neither commit DDL by themselves.
    bool ddlNeedsCommit;

    const char* iniCharset;  // configApi.ini's Charset
    // configApi.ini names the database by this alias and keeps the service and
    // TNS folders in a section named like configName (Oracle); null: Banco holds the database.
    const char* iniAlias;

    // The database is a file on this machine: no server, port, user or password.
    bool databaseIsFile;
    // The connection page offers to pick the database file.
    bool databaseFilePicker;

    // Fills the definition's parameters after DriverID, from trimmed fields.
    void (*connectionParameters)(ConnectionDefinition& def, const ConnectionFields& trimmed);

    PlatformFiles clientLibraries;
    // Checks the client library beside the executable and prepares its use;
    // null where the kind's library is found by the system.
    LocalClientSetup (*prepareLocalClient)(const std::string& exeFolder);
};

const KindDescriptor& KindOf(TTipoBanco kind);
// The kind of a driver id, or null.
const KindDescriptor* KindOfDriver(const std::string& driverId);

// Server, Port, Database, User_Name and Password: the parameters of a kind reached over the network.
void SetServerParameters(ConnectionDefinition& def, const ConnectionFields& trimmed);

} // namespace brivel
