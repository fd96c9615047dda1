#include "core/FailureHint.h"

#include "core/DbKind.h"
#include "core/KindDescriptor.h"

namespace brivel {

namespace {

// The text between "(NAME=" and the next ")" of an Oracle descriptor.
std::string DescriptorPart(const std::string& descriptor, const std::string& name)
{
    const std::string key = "(" + name + "=";
    const size_t start = descriptor.find(key);
    if (start == std::string::npos)
        return {};
    const size_t from = start + key.size();
    const size_t end = descriptor.find(')', from);
    return descriptor.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// "host:port" as the connection reaches it: the kind's default port when none was typed.
std::string Address(const ConnectionDefinition& def)
{
    std::string host = def.value("Server");
    std::string port = def.value("Port");
    if (def.driverID() == DriverId(tbOracle)) {
        host = DescriptorPart(def.value("Database"), "HOST");
        port = DescriptorPart(def.value("Database"), "PORT");
    }
    if (host.empty())
        host = kLoopbackHost;
    if (port.empty())
        if (const KindDescriptor* kind = KindOfDriver(def.driverID()))
            port = kind->defaultPort;
    return port.empty() ? host : host + ":" + port;
}

std::string Host(const ConnectionDefinition& def)
{
    const std::string host = def.driverID() == DriverId(tbOracle) ? DescriptorPart(def.value("Database"), "HOST")
                                                                  : def.value("Server");
    return host.empty() ? std::string(kLoopbackHost) : host;
}

} // namespace

std::string FailureHint(FailureCause cause, const ConnectionDefinition& def)
{
    switch (cause) {
    case FailureCause::Unknown: return {};
    case FailureCause::Login:
        return "Causa provável: usuário ou senha incorretos. Confira o usuário e a senha informados.";
    case FailureCause::NothingListening:
        return "Causa provável: nenhum servidor aceita conexões em " + Address(def) +
               ". Confira o servidor e a porta, e se o serviço do banco está em execução.";
    case FailureCause::HostNotFound:
        return "Causa provável: o servidor \"" + Host(def) +
               "\" não foi encontrado. Confira o nome ou o endereço do servidor.";
    case FailureCause::Timeout:
        return "Causa provável: o servidor em " + Address(def) +
               " não respondeu a tempo. Confira o endereço, a porta e se um firewall bloqueia a conexão.";
    case FailureCause::DatabaseNotFound:
        return "Causa provável: o banco ou arquivo informado não existe. Confira o nome do banco ou o caminho do "
               "arquivo.";
    case FailureCause::NoPrivilege:
        return "Causa provável: o usuário não tem permissão para usar este banco ou criar tabelas nele. Peça essa "
               "permissão ao administrador do banco ou use outro usuário.";
    }
    return {};
}

std::string WithFailureHint(const std::string& message, FailureCause cause, const ConnectionDefinition& def)
{
    const std::string hint = FailureHint(cause, def);
    return hint.empty() ? message : message + "\r\n" + hint;
}

} // namespace brivel
