#include "core/InstallSteps.h"

#include "core/KindDescriptor.h"
#include "core/AsciiText.h"

#include <cctype>

namespace brivel {

std::string ExistenceQuery(TTipoBanco kind) { return KindOf(kind).existenceQuery; }

bool DdlIsTransactional(TTipoBanco kind) { return KindOf(kind).ddlTransactional; }

bool DdlNeedsCommit(TTipoBanco kind) { return KindOf(kind).ddlNeedsCommit; }

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
