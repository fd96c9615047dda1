#include "core/ConnectionDefinition.h"
#include "core/KindDescriptor.h"

namespace brivel {

const KindDescriptor& SqlServerKind()
{
    static const KindDescriptor kind{
        .kind = tbSQLServer,
        .displayName = "SQL Server",
        .configName = "SQLSERVER",
        .defaultPort = "1433",
        .driverId = "MSSQL",
        .dialect = {"INT", "VARCHAR", "VARCHAR(MAX)", "DATETIME", "GETDATE()"},
        .existenceQuery = "SELECT COUNT(*) QTD FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_TYPE = 'BASE TABLE' AND "
                          "UPPER(TABLE_NAME) = UPPER(:TABELA)",
        .columnExistenceQuery =
            [](const std::string& table) {
                return "SELECT COUNT(*) QTD FROM INFORMATION_SCHEMA.COLUMNS WHERE UPPER(TABLE_NAME) = " + table +
                       " AND UPPER(COLUMN_NAME) = UPPER(:COLUNA)";
            },
        .ddlTransactional = true,
        .ddlNeedsCommit = false,
        .iniCharset = "UTF8",
        .iniAlias = nullptr,
        .databaseIsFile = false,
        .databaseFilePicker = false,
        .connectionParameters =
            [](ConnectionDefinition& def, const ConnectionFields& f) {
                SetServerParameters(def, f);
                def.set("OSAuthent", "No");
            },
        // The ODBC driver manager; the adapter picks the SQL Server driver through it.
        .clientLibraries = {{"libodbc.so.2", "libodbc.so"}, {"odbc32.dll"}},
        .prepareLocalClient = nullptr,
    };
    return kind;
}

} // namespace brivel
