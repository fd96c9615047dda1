#include "db/ConnectionSetup.h"

#include "core/LocalClients.h"

namespace brivel::db {

namespace {

void CloseAndClear(Connection& conn)
{
    conn.close();
    conn.clearParams();
}

void SetDefinition(Connection& conn, const ConnectionDefinition& def)
{
    conn.setDriverID(def.driverID());
    for (const auto& [name, value] : def.params())
        conn.setParam(name, value);
}

} // namespace

void Define(Connection& conn, const ConnectionDefinition& def)
{
    CloseAndClear(conn);
    SetDefinition(conn, def);
}

void UseLocalClient(Connection& conn, TTipoBanco kind, const std::string& folder, const SetupLog& log)
{
    if (kind == tbPostgreSQL) {
        const LocalClientSetup setup = PreparePostgreSQLClient(folder);
        DriverLink& link = *conn.links().pg;
        link.Release();
        link.VendorHome.clear();
        link.VendorLib = setup.libraryPath;
        if (log)
            log("PostgreSQL libpq carregada de: " + setup.libraryPath);
    } else if (kind == tbOracle) {
        const LocalClientSetup setup = PrepareOracleClient(folder);
        DriverLink& link = *conn.links().oracle;
        link.VendorHome = setup.homeFolder;
        link.VendorLib = setup.libraryPath;
    }
}

void SetUpConnection(Connection& conn, const ConnectionFields& fields, const std::string& clientFolder,
                     const SetupLog& log)
{
    CloseAndClear(conn);
    UseLocalClient(conn, fields.kind(), clientFolder, log);
    SetDefinition(conn, DefinitionFor(fields));
}

void SetUpConnection(Connection& conn, const ConnectionFields& fields)
{
    CloseAndClear(conn);
    SetDefinition(conn, DefinitionFor(fields));
}

} // namespace brivel::db
