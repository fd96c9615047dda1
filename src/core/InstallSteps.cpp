#include "core/InstallSteps.h"

#include "core/AsciiText.h"

#include <cctype>

namespace brivel {

std::string ExistenceQuery(TTipoBanco kind)
{
    switch (kind) {
    case tbFirebird:
        return "SELECT COUNT(*) QTD FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0 AND "
               "UPPER(TRIM(RDB$RELATION_NAME)) = UPPER(:TABELA)";
    case tbOracle: return "SELECT COUNT(*) QTD FROM USER_TABLES WHERE UPPER(TABLE_NAME) = UPPER(:TABELA)";
    case tbSQLServer:
        return "SELECT COUNT(*) QTD FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_TYPE = 'BASE TABLE' AND "
               "UPPER(TABLE_NAME) = UPPER(:TABELA)";
    case tbSQLite:
        return "SELECT COUNT(*) QTD FROM sqlite_master WHERE type = 'table' AND UPPER(name) = UPPER(:TABELA)";
    case tbPostgreSQL:
        return "SELECT COUNT(*) QTD FROM information_schema.tables WHERE table_schema = current_schema() AND "
               "UPPER(table_name) = UPPER(:TABELA)";
    case tbMySQL: break;
    }
    return "SELECT COUNT(*) QTD FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = DATABASE() AND "
           "UPPER(TABLE_NAME) = UPPER(:TABELA)";
}

bool DdlIsTransactional(TTipoBanco kind) { return kind == tbPostgreSQL || kind == tbSQLite || kind == tbSQLServer; }

std::string CreatedTableName(const std::string& statement)
{
    size_t i = 0;
    auto skipSpace = [&] {
        while (i < statement.size() && std::isspace(static_cast<unsigned char>(statement[i])))
            ++i;
    };
    auto word = [&](const char* expected) {
        skipSpace();
        size_t k = 0;
        while (expected[k] && i + k < statement.size() &&
               UpperAscii(statement[i + k]) == expected[k])
            ++k;
        if (expected[k] || (i + k < statement.size() && !std::isspace(static_cast<unsigned char>(statement[i + k]))))
            return false;
        i += k;
        return true;
    };
    if (!word("CREATE") || !word("TABLE"))
        return {};
    skipSpace();
    const size_t start = i;
    while (i < statement.size() && (std::isalnum(static_cast<unsigned char>(statement[i])) || statement[i] == '_' ||
                                    statement[i] == '$' || statement[i] == '.'))
        ++i;
    return statement.substr(start, i - start);
}

} // namespace brivel
