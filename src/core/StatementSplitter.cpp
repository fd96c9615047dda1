#include "core/StatementSplitter.h"

#include "core/AsciiText.h"

namespace brivel {

namespace {

// CR LF, a lone CR or a lone LF end a line; a break at the very end adds no empty line.
std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string current;
    bool pending = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(current));
            current.clear();
            pending = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            current += c;
            pending = true;
        }
    }
    if (pending)
        lines.push_back(std::move(current));
    return lines;
}

std::string JoinWithCrLf(const std::vector<std::string>& lines)
{
    std::string joined;
    for (const auto& line : lines) {
        joined += line;
        joined += "\r\n";
    }
    return joined;
}

} // namespace

std::vector<ScriptStatement> SplitStatements(const std::string& script)
{
    std::vector<ScriptStatement> statements;
    std::vector<std::string> cmd;
    for (const std::string& line : SplitLines(script)) {
        const std::string linha = TrimControl(line);
        if (linha.empty() || linha.rfind("--", 0) == 0)
            continue;
        cmd.push_back(line);
        if (linha.back() != ';')
            continue;
        std::string comando = TrimControl(JoinWithCrLf(cmd));
        comando = TrimControl(comando.substr(0, comando.rfind(';')));
        if (!comando.empty())
            statements.push_back({comando, true});
        cmd.clear();
    }
    const std::string rest = TrimControl(JoinWithCrLf(cmd));
    if (!rest.empty())
        statements.push_back({rest, false});
    return statements;
}

} // namespace brivel
