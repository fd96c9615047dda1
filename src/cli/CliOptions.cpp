#include "cli/CliOptions.h"

#include "cli/Terminal.h"
#include "core/AppPaths.h"
#include "core/AsciiText.h"
#include "core/DbKind.h"
#include "core/Error.h"
#include "core/KindDescriptor.h"
#include "core/ProfileIni.h"

#include <cctype>
#include <cstdlib>

namespace brivel::cli {

namespace {
std::string Compact(const std::string& s)
{
    // Letter case and blanks aside: "SQL Server" and "sqlserver" name the same kind.
    std::string out;
    for (unsigned char c : s)
        if (c != ' ')
            out += UpperAscii(static_cast<char>(c));
    return out;
}
} // namespace

std::optional<TTipoBanco> KindFromName(const std::string& name)
{
    const std::string wanted = Compact(name);
    if (wanted.empty())
        return std::nullopt;
    for (int i = 0; i < kKindCount; ++i) {
        const auto kind = static_cast<TTipoBanco>(i);
        if (wanted == Compact(ConfigName(kind)) || wanted == Compact(DisplayName(kind)))
            return kind;
    }
    return std::nullopt;
}

ConfigValues ReadConfigApiIni(const std::string& path)
{
    if (!FileExists(path))
        throw UsageError{"Arquivo de configuração não encontrado: " + path};
    ConfigValues v;
    try {
        const ProfileIni ini(path);
        v.tipo = ini.ReadString("BANCO", "Tipo");
        v.servidor = ini.ReadString("BANCO", "Servidor");
        v.porta = ini.ReadString("BANCO", "Porta");
        v.usuario = ini.ReadString("BANCO", "Usuario");
        v.senha = ini.ReadString("BANCO", "Senha");
        v.banco = ini.ReadString("BANCO", "Banco");
        // Oracle's Banco is the alias; the service name is kept in the kind's own section.
        if (const auto kind = v.tipo ? KindFromName(*v.tipo) : std::nullopt; kind && KindOf(*kind).iniAlias)
            if (auto service = ini.ReadString(ConfigName(*kind), "ServiceName"))
                v.banco = service;
    } catch (const Error&) {
        throw UsageError{"Não foi possível ler o arquivo de configuração: " + path};
    }
    return v;
}

std::string ReadPasswordFile(const std::string& path)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes))
        throw UsageError{"Não foi possível ler o arquivo de senha: " + path};
    const size_t eol = bytes.find_first_of("\r\n");
    return eol == std::string::npos ? bytes : bytes.substr(0, eol);
}

ResolvedFields ResolveFields(const Options& o)
{
    ConfigValues c;
    if (o.deConfig)
        c = ReadConfigApiIni(*o.deConfig);
    auto pick = [](const std::optional<std::string>& option, const std::optional<std::string>& config) {
        return option ? *option : config.value_or(std::string());
    };

    ResolvedFields r;
    ConnectionFields& f = r.fields;
    const std::string tipo = pick(o.tipo, c.tipo);
    if (tipo.empty()) {
        f.kindIndex = -1;  // the wizard's own message: "Informe o tipo do banco."
    } else if (const auto kind = KindFromName(tipo)) {
        f.kindIndex = *kind;
    } else {
        throw UsageError{"Tipo de banco desconhecido: " + tipo +
                         ". Use MYSQL, FIREBIRD, ORACLE, SQLSERVER, SQLITE ou POSTGRESQL."};
    }
    f.servidor = pick(o.servidor, c.servidor);
    f.database = pick(o.banco, c.banco);
    f.usuario = pick(o.usuario, c.usuario);
    if (o.porta)
        f.porta = *o.porta;
    else if (c.porta && c.tipo && KindFromName(*c.tipo) == std::optional<TTipoBanco>(f.kind()) && f.kindIndex >= 0)
        f.porta = *c.porta;
    else if (f.kindIndex >= 0)
        f.porta = DefaultPort(f.kind());

    if (o.senha && o.senhaArquivo)
        throw UsageError{"Use --senha ou --senha-arquivo, não as duas."};
    if (o.senha) {
        f.senha = *o.senha;
        r.passwordSource = PasswordSource::Option;
    } else if (o.senhaArquivo) {
        f.senha = ReadPasswordFile(*o.senhaArquivo);
        r.passwordSource = PasswordSource::File;
    } else if (std::getenv("BRIVEL_SENHA")) {
        f.senha = GetEnv("BRIVEL_SENHA");
        r.passwordSource = PasswordSource::Environment;
    } else if (c.senha) {
        f.senha = *c.senha;
        r.passwordSource = PasswordSource::Config;
    }
    return r;
}

} // namespace brivel::cli
