#pragma once
#include <string>
#include <vector>

namespace brivel {

struct ScriptStatement {
    std::string sql;  // without its final ";"
    bool logged;      // false only for trailing text after the last ";"
};

// Removes every leading and trailing character with a code of 32 or lower.
std::string TrimControl(const std::string& text);

// Splits a script the way the installer runs it: a statement ends on a line whose
// trimmed text ends with ";"; blank lines and whole "--" lines are skipped.
std::vector<ScriptStatement> SplitStatements(const std::string& script);

} // namespace brivel
