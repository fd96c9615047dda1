#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "core/KindDescriptor.h"

namespace brivel {

const KindDescriptor& SqliteKind()
{
    static const KindDescriptor kind{
        .kind = tbSQLite,
        .displayName = "SQLite",
        .configName = "SQLITE",
        .defaultPort = "",
        .driverId = "SQLite",
        .dialect = {"INTEGER", "VARCHAR", "TEXT", "DATETIME", "CURRENT_TIMESTAMP"},
        .existenceQuery =
            "SELECT COUNT(*) QTD FROM sqlite_master WHERE type = 'table' AND UPPER(name) = UPPER(:TABELA)",
        .columnExistenceQuery =
            [](const std::string& table) {
                return "SELECT COUNT(*) QTD FROM pragma_table_info(" + table + ") WHERE UPPER(name) = UPPER(:COLUNA)";
            },
        .ddlTransactional = true,
        .ddlNeedsCommit = false,
        .iniCharset = "UTF8",
        .iniAlias = nullptr,
        .databaseIsFile = true,
        .databaseFilePicker = true,
        .connectionParameters =
            [](ConnectionDefinition& def, const ConnectionFields& f) {
                def.set("Database", f.database);
                def.set("LockingMode", "Normal");
                def.set("Synchronous", "Normal");
            },
        .clientLibraries = {{"libsqlite3.so.0", "libsqlite3.so"}, {"sqlite3.dll", "libdb_sql51.dll"}},
        .prepareLocalClient = nullptr,
    };
    return kind;
}

} // namespace brivel
