#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "core/KindDescriptor.h"
#include "core/LocalClients.h"

namespace brivel {

const KindDescriptor& OracleKind()
{
    static const KindDescriptor kind{
        .kind = tbOracle,
        .displayName = "Oracle",
        .configName = "ORACLE",
        .defaultPort = "1521",
        .driverId = "Ora",
        .dialect = {"NUMBER(10)", "VARCHAR2", "CLOB", "TIMESTAMP", "CURRENT_TIMESTAMP"},
        .existenceQuery = "SELECT COUNT(*) QTD FROM USER_TABLES WHERE UPPER(TABLE_NAME) = UPPER(:TABELA)",
        .columnExistenceQuery =
            [](const std::string& table) {
                return "SELECT COUNT(*) QTD FROM USER_TAB_COLUMNS WHERE UPPER(TABLE_NAME) = " + table +
                       " AND UPPER(COLUMN_NAME) = UPPER(:COLUNA)";
            },
        .ddlTransactional = false,  // each CREATE TABLE commits the open transaction
        .ddlNeedsCommit = false,
        .iniCharset = "UTF8",
        .iniAlias = "TESSAN_ORACLE",
        .databaseIsFile = false,
        .databaseFilePicker = false,
        .connectionParameters =
            [](ConnectionDefinition& def, const ConnectionFields& f) {
                def.set("User_Name", f.usuario);
                def.set("Password", f.senha);
                def.set("Database", OracleDescriptor(f.servidor, f.porta, f.database));
                def.set("CharacterSet", "UTF8");
            },
        .clientLibraries = {{"libclntsh.so"}, {"oci.dll"}},
        .prepareLocalClient = &PrepareOracleClient,
    };
    return kind;
}

} // namespace brivel
