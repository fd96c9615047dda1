#pragma once
#include "core/Error.h"

#include <charconv>
#include <string>

namespace brivel::db {

// An integer column that the client library hands over as text.
inline long long IntegerFromText(const std::string& text, const std::string& column)
{
    long long result = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), result);
    if (ec != std::errc() || end != text.data() + text.size())
        throw Error("O valor \"" + text + "\" da coluna " + column + " não é um número inteiro.");
    return result;
}

} // namespace brivel::db
