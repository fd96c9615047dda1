#pragma once
#include "core/DbKind.h"
#include <string>

namespace brivel {

// The five words that turn the one template into a kind's dialect.
struct DialectWords {
    std::string AInt;
    std::string AVarchar;
    std::string AText;
    std::string ADateTime;
    std::string ANow;
};

DialectWords DialectWordsFor(TTipoBanco kind);

// The creation script of the Brivel tables: 87 lines joined by CR LF, no trailing break.
std::string GerarScriptPadrao(const std::string& AInt, const std::string& AVarchar, const std::string& AText,
                              const std::string& ADateTime, const std::string& ANow);

std::string ScriptFor(TTipoBanco kind);

// Tables of the script, in creation order.
inline constexpr const char* kBrivelTables[] = {"API_CONFIG",   "API_ROTAS",        "API_ROTA_PARAMETROS",
                                                "API_USUARIOS", "API_LOG_CHAMADAS", "API_SEQUENCIAIS"};

} // namespace brivel
