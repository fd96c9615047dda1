#include "core/ConnectionDefinition.h"
#include "core/KindDescriptor.h"

namespace brivel {

const KindDescriptor& FirebirdKind()
{
    static const KindDescriptor kind{
        .kind = tbFirebird,
        .displayName = "Firebird",
        .configName = "FIREBIRD",
        .defaultPort = "3050",
        .driverId = "FB",
        .dialect = {"INTEGER", "VARCHAR", "BLOB SUB_TYPE TEXT", "TIMESTAMP", "CURRENT_TIMESTAMP"},
        .existenceQuery = "SELECT COUNT(*) QTD FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0 AND "
                          "UPPER(TRIM(RDB$RELATION_NAME)) = UPPER(:TABELA)",
        .columnExistenceQuery =
            [](const std::string& table) {
                return "SELECT COUNT(*) QTD FROM RDB$RELATION_FIELDS WHERE UPPER(TRIM(RDB$RELATION_NAME)) = " + table +
                       " AND UPPER(TRIM(RDB$FIELD_NAME)) = UPPER(:COLUNA)";
            },
        // DDL takes effect at the commit, and later statements of the same
        // transaction cannot use a table created in it.
        .ddlTransactional = false,
        .ddlNeedsCommit = true,
        .iniCharset = "NONE",
        .iniAlias = nullptr,
        .databaseIsFile = false,  // a file, but as the server sees it
        .databaseFilePicker = true,
        .connectionParameters =
            [](ConnectionDefinition& def, const ConnectionFields& f) {
                SetServerParameters(def, f);
                def.set("CharacterSet", "NONE");
            },
        .clientLibraries = {{"libfbclient.so.2", "libfbclient.so"}, {"fbclient.dll", "fbembed.dll"}},
        .prepareLocalClient = nullptr,
    };
    return kind;
}

} // namespace brivel
