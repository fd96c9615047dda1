#include "db/oracle/OracleSql.h"

#include <cctype>

namespace brivel::db {

std::string FirstBindPlaceholder(const std::string& sql)
{
    auto isNameChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#';
    };
    for (size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            // A doubled quote stays inside the literal: the scan just resumes at it.
            const size_t end = sql.find(c, i + 1);
            if (end == std::string::npos)
                return {};
            i = end;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            i = sql.find('\n', i);
            if (i == std::string::npos)
                return {};
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            i = sql.find("*/", i + 2);
            if (i == std::string::npos)
                return {};
            ++i;
        } else if (c == ':' && i + 1 < sql.size() && isNameChar(sql[i + 1])) {
            size_t end = i + 1;
            while (end < sql.size() && isNameChar(sql[end]))
                ++end;
            return sql.substr(i, end - i);
        }
    }
    return {};
}

std::string WithConnectTimeout(const std::string& descriptor)
{
    std::string upper = descriptor;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string head = "(DESCRIPTION=";
    if (upper.compare(0, head.size(), head) != 0 || upper.find("CONNECT_TIMEOUT") != std::string::npos)
        return descriptor;
    return descriptor.substr(0, head.size()) + "(CONNECT_TIMEOUT=15)(TRANSPORT_CONNECT_TIMEOUT=15)" +
           descriptor.substr(head.size());
}

} // namespace brivel::db
