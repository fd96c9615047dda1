// The installer's statement splitter over arbitrary scripts.
//
// Properties: every statement is trimmed and not empty, and only the last may be
// the unlogged rest; no text is lost or invented (apart from line breaks, blanks,
// semicolons and skipped "--" lines); and joining the statements back into a
// script, each with its ";", splits into the same statements.
#include "FuzzCheck.h"

#include "core/AsciiText.h"
#include "core/StatementSplitter.h"

#include <cstdint>

using fuzz::Require;

namespace {

bool Blank(char c) { return static_cast<unsigned char>(c) <= 32; }

// The text of the lines the splitter runs (not blank, not a whole "--" line),
// without blanks, control characters and semicolons.
std::string Substance(const std::string& script)
{
    std::string out, line;
    auto flush = [&] {
        size_t b = 0;
        while (b < line.size() && Blank(line[b]))
            ++b;
        if (b < line.size() && line.compare(b, 2, "--") != 0)
            for (char c : line)
                if (!Blank(c) && c != ';')
                    out += c;
        line.clear();
    };
    for (char c : script) {
        if (c == '\r' || c == '\n')
            flush();
        else
            line += c;
    }
    flush();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string script(reinterpret_cast<const char*>(data), size);
    const std::vector<brivel::ScriptStatement> statements = brivel::SplitStatements(script);

    std::string substance, rejoined;
    for (size_t i = 0; i < statements.size(); ++i) {
        const brivel::ScriptStatement& s = statements[i];
        Require(!s.sql.empty(), "an empty statement");
        Require(brivel::TrimControl(s.sql) == s.sql, "a statement with blanks around it");
        Require(s.logged || i + 1 == statements.size(), "an unlogged statement before the last");
        substance += Substance(s.sql);
        rejoined += s.sql + (s.logged ? ";\r\n" : "");
    }
    Require(substance == Substance(script), "text lost, invented or reordered by the split");

    const std::vector<brivel::ScriptStatement> again = brivel::SplitStatements(rejoined);
    Require(again.size() == statements.size(), "joined statements split differently");
    for (size_t i = 0; i < again.size(); ++i)
        Require(again[i].sql == statements[i].sql && again[i].logged == statements[i].logged,
                "joined statements split differently");
    return 0;
}
