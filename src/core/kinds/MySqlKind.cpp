#include "core/ConnectionDefinition.h"
#include "core/KindDescriptor.h"

namespace brivel {

const KindDescriptor& MySqlKind()
{
    static const KindDescriptor kind{
        .kind = tbMySQL,
        .displayName = "MySQL",
        .configName = "MYSQL",
        .defaultPort = "3306",
        .driverId = "MySQL",
        .dialect = {"INT", "VARCHAR", "LONGTEXT", "DATETIME", "NOW()"},
        .existenceQuery = "SELECT COUNT(*) QTD FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = DATABASE() AND "
                          "UPPER(TABLE_NAME) = UPPER(:TABELA)",
        .columnExistenceQuery =
            [](const std::string& table) {
                return "SELECT COUNT(*) QTD FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND "
                       "UPPER(TABLE_NAME) = " +
                       table + " AND UPPER(COLUMN_NAME) = UPPER(:COLUNA)";
            },
        .ddlTransactional = false,  // each CREATE TABLE commits the open transaction
        .ddlNeedsCommit = false,
        .iniCharset = "utf8mb4",
        .iniAlias = nullptr,
        .databaseIsFile = false,
        .databaseFilePicker = false,
        .connectionParameters =
            [](ConnectionDefinition& def, const ConnectionFields& f) {
                SetServerParameters(def, f);
                def.set("CharacterSet", "utf8mb4");
            },
        // MariaDB's Connector/C answers for MySQL's client library.
        .clientLibraries = {{"libmysqlclient.so.21", "libmariadb.so.3", "libmysqlclient.so"},
                            {"libmysql.dll", "libmariadb", "libmysqld.dll"}},
        .prepareLocalClient = nullptr,
    };
    return kind;
}

} // namespace brivel
