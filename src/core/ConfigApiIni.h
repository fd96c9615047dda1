#pragma once
#include "core/ConnectionFields.h"

#include <string>

namespace brivel {

// Said when the connection worked but the file could not be saved; the
// writer's own reason follows it after a blank line.
inline constexpr const char* kConfigApiIniNotSaved =
    "A conexão com o banco foi realizada, mas o arquivo configApi.ini não pôde ser gravado.";

// "<exe folder>configApi.ini"
std::string ConfigApiIniPath(const std::string& exeFolder);

// Validates the fields, then rewrites the sections BANCO, API and (for Oracle)
// ORACLE of the file, keeping every other section. Throws brivel::Error.
void SaveConfigApiIni(const std::string& path, const ConnectionFields& fields, const std::string& exeFolder);

} // namespace brivel
