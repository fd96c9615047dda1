#pragma once
#include "core/ConnectionFields.h"

#include <string>

namespace brivel {

// When the connection worked but the file could not be saved: not a connection
// error, so it has a heading and a status line of its own.
inline constexpr const char* kConfigApiIniNotSavedHeading = "Erro ao gravar o configApi.ini:";
inline constexpr const char* kConfigApiIniNotSaved =
    "A conexão com o banco foi realizada, mas o arquivo configApi.ini não pôde ser gravado.";
inline constexpr const char* kConfigApiIniNotSavedStatus = "Conexão realizada, mas o configApi.ini não foi gravado.";

// The heading, the explanation and the writer's reason, a blank line between them.
std::string ConfigApiIniNotSavedText(const std::string& reason);

// "<exe folder>configApi.ini"
std::string ConfigApiIniPath(const std::string& exeFolder);

// Validates the fields, then rewrites the sections BANCO, API and (for Oracle)
// ORACLE of the file, keeping every other section. Throws brivel::Error.
void SaveConfigApiIni(const std::string& path, const ConnectionFields& fields, const std::string& exeFolder);

} // namespace brivel
