#pragma once
#include "core/ConnectionFields.h"

#include <optional>
#include <string>
#include <vector>

namespace brivel::cli {

// Exit codes, as --help and the manual page list them (test cli_manual).
enum ExitCode { kOk = 0, kFailure = 1, kUsage = 2, kNotInstalled = 3, kPartial = 4 };

// A usage error: exit code 2, nothing connected.
struct UsageError {
    std::string message;
};

// What the command line gave, before defaults and password sources.
struct Options {
    std::string command;
    std::optional<std::string> tipo, servidor, porta, banco, usuario, senha, senhaArquivo, deConfig;
    std::string config;  // testar: where configApi.ini goes
    std::string saida;   // script: file to write
    bool completar = false;  // instalar: complete a partial structure
    bool json = false;
    bool silencioso = false;
};

// "MYSQL", "mysql", "SQL Server", "sqlserver"...: the kind; nullopt for anything else.
std::optional<TTipoBanco> KindFromName(const std::string& name);

// Where the password came from, for the warning about the command line; None
// leaves it to be asked on the terminal.
enum class PasswordSource { None, Option, File, Environment, Config };

struct ResolvedFields {
    ConnectionFields fields;
    PasswordSource passwordSource = PasswordSource::None;
};

// The connection fields from --de-config, the options and the password sources.
// Throws UsageError for an unknown kind or an unreadable file.
ResolvedFields ResolveFields(const Options& o);

// The values a configApi.ini written by testar (or the wizard) holds.
struct ConfigValues {
    std::optional<std::string> tipo, servidor, porta, banco, usuario, senha;
};
ConfigValues ReadConfigApiIni(const std::string& path);

// The first line of a file (its CR LF or LF removed), for --senha-arquivo.
std::string ReadPasswordFile(const std::string& path);

} // namespace brivel::cli
