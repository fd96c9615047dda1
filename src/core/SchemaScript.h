#pragma once
#include "core/KindDescriptor.h"
#include <string>

namespace brivel {

DialectWords DialectWordsFor(TTipoBanco kind);

// The creation script of the Brivel tables: 87 lines joined by CR LF, no trailing break.
std::string GerarScriptPadrao(const std::string& AInt, const std::string& AVarchar, const std::string& AText,
                              const std::string& ADateTime, const std::string& ANow);

std::string ScriptFor(TTipoBanco kind);

// Tables of the script, in creation order.
inline constexpr const char* kBrivelTables[] = {"API_CONFIG",   "API_ROTAS",        "API_ROTA_PARAMETROS",
                                                "API_USUARIOS", "API_LOG_CHAMADAS", "API_SEQUENCIAIS"};

} // namespace brivel
