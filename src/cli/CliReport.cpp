#include "cli/CliReport.h"

#include "core/LogLine.h"

#include <iostream>

namespace brivel::cli {

namespace {
// Server messages may hold CR LF; the terminal gets plain line feeds.
std::string PlainLines(std::string text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                continue;
            out += '\n';
        } else {
            out += text[i];
        }
    }
    return out;
}
} // namespace

void Report::line(const std::string& msg)
{
    if (silent_)
        return;
    std::cerr << PlainLines(FormatLogLine(CurrentLocalDateTime(), "/", ":", msg)) << '\n' << std::flush;
}

void Report::warning(const std::string& msg)
{
    if (!silent_)
        std::cerr << PlainLines(msg) << '\n' << std::flush;
}

void Report::error(const std::string& msg)
{
    std::cerr << PlainLines(msg) << '\n' << std::flush;
    data_["erro"] = msg;
}

int Report::finish(int exitCode)
{
    if (json_) {
        data_["codigo_saida"] = exitCode;
        if (!data_.contains("erro"))
            data_["erro"] = nullptr;
        // Invalid UTF-8 from a server message becomes U+FFFD rather than an exception.
        std::cout << data_.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n' << std::flush;
    }
    return exitCode;
}

} // namespace brivel::cli
