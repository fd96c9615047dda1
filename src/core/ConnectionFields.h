#pragma once
#include "core/DbKind.h"
#include <string>

namespace brivel {

// The connection page's texts, exactly as typed.
struct ConnectionFields {
    int kindIndex = 0;  // selected index of the kind list, -1 when none
    std::string servidor;
    std::string database;
    std::string porta;
    std::string usuario;
    std::string senha;

    TTipoBanco kind() const { return KindFromIndex(kindIndex); }
};

// Characters that structure an Oracle connect descriptor; a value holding one
// would change the descriptor instead of filling it.
inline constexpr const char* kOracleDescriptorMetacharacters = "()=";

// Removes leading and trailing blanks (code 32 or lower).
std::string Trimmed(const std::string& text);

// Throws brivel::Error with the first failing check's message. After the page's
// own checks come those of the texts themselves, which name the field and never
// show its value: a NUL, a line break or malformed UTF-8 (none of which reaches a
// client library or configApi.ini intact), and for Oracle "(", ")" or "=" in the
// server or service name (they would rewrite the connect descriptor).
void ValidarCamposConexao(const ConnectionFields& fields);

// Integer conversion of a port text: anything that does not convert gives 0.
long long PortNumber(const std::string& trimmedText);

} // namespace brivel
