#include "core/ConnectionDefinition.h"
#include "core/KindDescriptor.h"
#include "core/LocalClients.h"

namespace brivel {

const KindDescriptor& PostgreSqlKind()
{
    static const KindDescriptor kind{
        .kind = tbPostgreSQL,
        .displayName = "PostgreSQL",
        .configName = "POSTGRESQL",
        .defaultPort = "5432",
        .driverId = "PG",
        .dialect = {"INTEGER", "VARCHAR", "TEXT", "TIMESTAMP", "CURRENT_TIMESTAMP"},
        .existenceQuery = "SELECT COUNT(*) QTD FROM information_schema.tables WHERE table_schema = current_schema() "
                          "AND UPPER(table_name) = UPPER(:TABELA)",
        .columnExistenceQuery =
            [](const std::string& table) {
                return "SELECT COUNT(*) QTD FROM information_schema.columns WHERE table_schema = current_schema() AND "
                       "UPPER(table_name) = " +
                       table + " AND UPPER(column_name) = UPPER(:COLUNA)";
            },
        .ddlTransactional = true,
        .ddlNeedsCommit = false,
        .iniCharset = "utf8",
        .iniAlias = nullptr,
        .databaseIsFile = false,
        .databaseFilePicker = false,
        .connectionParameters =
            [](ConnectionDefinition& def, const ConnectionFields& f) {
                SetServerParameters(def, f);
                def.set("CharacterSet", "utf8");
            },
        .clientLibraries = {{"libpq.so.5"}, {"libpq.dll"}},
        .prepareLocalClient = &PreparePostgreSQLClient,
    };
    return kind;
}

} // namespace brivel
