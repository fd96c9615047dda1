#include "core/ConnectionFields.h"

#include "core/Error.h"
#include "core/StatementSplitter.h"

#include <charconv>
#include <cstdint>

namespace brivel {

std::string Trimmed(const std::string& text) { return TrimControl(text); }

long long PortNumber(const std::string& text)
{
    // A strict 32-bit conversion: optional sign, then digits only.
    std::int32_t value = 0;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    if (begin == end)
        return 0;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end)
        return 0;
    return value;
}

void ValidarCamposConexao(const ConnectionFields& f)
{
    if (f.kindIndex < 0)
        throw Error("Informe o tipo do banco.");
    if (Trimmed(f.database).empty())
        throw Error("Informe o banco/base/arquivo/service name.");
    if (f.kind() == tbSQLite)
        return;
    if (Trimmed(f.servidor).empty())
        throw Error("Informe o servidor/IP.");
    if (PortNumber(Trimmed(f.porta)) <= 0)
        throw Error("Informe uma porta válida.");
    if (Trimmed(f.usuario).empty())
        throw Error("Informe o usuário.");
}

} // namespace brivel
