#include "core/ConnectionFields.h"

#include "core/Error.h"
#include "core/KindDescriptor.h"
#include "core/AsciiText.h"
#include "core/TextCodec.h"

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

namespace {
void CheckPage(const ConnectionFields& f)
{
    if (f.kindIndex < 0)
        throw Error("Informe o tipo do banco.");
    if (Trimmed(f.database).empty())
        throw Error("Informe o banco/base/arquivo/service name.");
    if (KindOf(f.kind()).databaseIsFile)
        return;
    if (Trimmed(f.servidor).empty())
        throw Error("Informe o servidor/IP.");
    if (PortNumber(Trimmed(f.porta)) <= 0)
        throw Error("Informe uma porta válida.");
    if (Trimmed(f.usuario).empty())
        throw Error("Informe o usuário.");
}

struct NamedField {
    const char* caption;  // as the page shows it
    const std::string* text;
};

std::string FieldName(const NamedField& field) { return std::string("O campo \"") + field.caption + "\" "; }

void CheckText(const NamedField& field)
{
    const std::string& t = *field.text;
    if (t.find('\0') != std::string::npos)
        throw Error(FieldName(field) + "contém um caractere nulo, que não pode ser usado.");
    if (t.find_first_of("\r\n") != std::string::npos)
        throw Error(FieldName(field) + "contém uma quebra de linha, que não pode ser gravada no configApi.ini.");
    if (!IsValidUtf8(t))
        throw Error(FieldName(field) + "contém uma sequência de bytes que não é texto UTF-8 válido.");
}
} // namespace

void ValidarCamposConexao(const ConnectionFields& f)
{
    CheckPage(f);
    const NamedField server{"Servidor", &f.servidor};
    const NamedField database{KindOf(f.kind()).databaseIsFile ? "Arquivo SQLite" : "Banco / Base / Service Name",
                              &f.database};
    for (const NamedField& field : {server, database, NamedField{"Porta", &f.porta},
                                    NamedField{"Usuário", &f.usuario}, NamedField{"Senha", &f.senha}})
        CheckText(field);
    if (f.kind() == tbOracle)
        for (const NamedField& field : {server, database})
            if (field.text->find_first_of(kOracleDescriptorMetacharacters) != std::string::npos)
                throw Error(FieldName(field) + "não pode conter os caracteres ( ) = numa conexão Oracle.");
}

} // namespace brivel
