// The ":TABELA" marker rewriting of the one-parameter query over arbitrary SQL.
//
// Properties, against a plain lexer written here: markers outside quoted text and
// comments are replaced, everything else is copied as it was; putting the marker
// back gives the original text.
#include "FuzzCheck.h"

#include "db/Connection.h"

#include <cctype>
#include <cstdint>

using fuzz::Require;

namespace {

// Offsets of the markers ":TABELA" that stand outside '...', "...", -- and /* */,
// are not followed by an identifier character and are not preceded by ':' (a "::" cast).
std::vector<size_t> Markers(const std::string& sql)
{
    enum { Code, Single, Double, Line, Block } state = Code;
    std::vector<size_t> found;
    const std::string marker = ":TABELA";
    for (size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        const char next = i + 1 < sql.size() ? sql[i + 1] : '\0';
        switch (state) {
        case Code:
            if (c == '\'')
                state = Single;
            else if (c == '"')
                state = Double;
            else if (c == '-' && next == '-')
                state = Line, ++i;
            else if (c == '/' && next == '*')
                state = Block, ++i;
            else if (sql.compare(i, marker.size(), marker) == 0 && (i == 0 || sql[i - 1] != ':')) {
                const size_t after = i + marker.size();
                const unsigned char a = after < sql.size() ? static_cast<unsigned char>(sql[after]) : ' ';
                if (!(std::isalnum(a) || a == '_' || a == '$')) {
                    found.push_back(i);
                    i = after - 1;
                }
            }
            break;
        case Single:  // a doubled quote leaves and re-enters: the same text
            if (c == '\'')
                state = Code;
            break;
        case Double:
            if (c == '"')
                state = Code;
            break;
        case Line:
            if (c == '\n')
                state = Code;
            break;
        case Block:
            if (c == '*' && next == '/')
                state = Code, ++i;
            break;
        }
    }
    return found;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string sql(reinterpret_cast<const char*>(data), size);
    const std::vector<size_t> markers = Markers(sql);

    // A replacement that cannot occur in the input: one byte value the input lacks.
    int unused = 1;
    while (unused < 256 && sql.find(static_cast<char>(unused)) != std::string::npos)
        ++unused;
    if (unused == 256)
        return 0;
    const std::string sentinel(1, static_cast<char>(unused));

    const std::string out = brivel::db::ReplaceParameterMarker(sql, "TABELA", sentinel);
    std::string expected = sql;
    for (auto it = markers.rbegin(); it != markers.rend(); ++it)
        expected.replace(*it, 7, sentinel);
    Require(out == expected, "markers replaced where the lexer finds none, or missed");

    std::string back = out;
    for (size_t pos; (pos = back.find(sentinel)) != std::string::npos;)
        back.replace(pos, 1, ":TABELA");
    Require(back == sql, "text other than the markers changed");

    // Replacing a marker by itself changes nothing.
    Require(brivel::db::ReplaceParameterMarker(sql, "TABELA", ":TABELA") == sql, "identity replacement changed text");
    return 0;
}
