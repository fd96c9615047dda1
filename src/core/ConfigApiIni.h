#pragma once
#include "core/ConnectionFields.h"

#include <string>

namespace brivel {

// "<exe folder>configApi.ini"
std::string ConfigApiIniPath(const std::string& exeFolder);

// Validates the fields, then rewrites the sections BANCO, API and (for Oracle)
// ORACLE of the file, keeping every other section. Throws brivel::Error.
void SaveConfigApiIni(const std::string& path, const ConnectionFields& fields, const std::string& exeFolder);

} // namespace brivel
