#pragma once
#include <string>
#include <vector>

namespace brivel {

struct ScriptStatement {
    std::string sql;  // without its final ";"
    bool logged;      // false only for trailing text after the last ";"
};

// Splits a script the way the installer runs it: a statement ends on a line whose
// trimmed text ends with ";"; blank lines and whole "--" lines are skipped.
std::vector<ScriptStatement> SplitStatements(const std::string& script);

} // namespace brivel
