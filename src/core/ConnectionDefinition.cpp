#include "core/ConnectionDefinition.h"

#include "core/ConnectionFields.h"
#include "core/Error.h"
#include "core/KindDescriptor.h"
#include "core/TextCodec.h"

#include <algorithm>

namespace brivel {

void ConnectionDefinition::clear() { params_.clear(); }

void ConnectionDefinition::set(const std::string& name, const std::string& value)
{
    auto it = std::find_if(params_.begin(), params_.end(), [&](const Param& p) { return p.first == name; });
    if (value.empty()) {
        if (it != params_.end())
            params_.erase(it);
    } else if (it != params_.end()) {
        it->second = value;
    } else {
        params_.emplace_back(name, value);
    }
}

bool ConnectionDefinition::has(const std::string& name) const
{
    return std::any_of(params_.begin(), params_.end(), [&](const Param& p) { return p.first == name; });
}

std::string ConnectionDefinition::value(const std::string& name) const
{
    for (const auto& p : params_)
        if (p.first == name)
            return p.second;
    return {};
}

std::string OracleDescriptor(const std::string& host, const std::string& port, const std::string& service)
{
    for (const std::string* piece : {&host, &port, &service})
        if (piece->find_first_of(kOracleDescriptorMetacharacters) != std::string::npos)
            throw Error(std::string(piece == &host      ? "O servidor"
                                    : piece == &port    ? "A porta"
                                                        : "O service name") +
                        " não pode conter os caracteres ( ) = numa conexão Oracle.");
    return "(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=" + host + ")(PORT=" + port + "))" +
           "(CONNECT_DATA=(SERVICE_NAME=" + service + "))" + ")";
}

void CheckParameterTexts(const ConnectionDefinition& def)
{
    for (const auto& [name, value] : def.params()) {
        if (value.find('\0') != std::string::npos)
            throw Error("O parâmetro " + name + " da conexão contém um caractere nulo, que não pode ser usado.");
        if (!IsValidUtf8(value))
            throw Error("O parâmetro " + name + " da conexão contém uma sequência de bytes que não é texto UTF-8 "
                        "válido.");
    }
}

void SetServerParameters(ConnectionDefinition& def, const ConnectionFields& f)
{
    def.set("Server", f.servidor);
    def.set("Port", f.porta);
    def.set("Database", f.database);
    def.set("User_Name", f.usuario);
    def.set("Password", f.senha);
}

ConnectionDefinition DefinitionFor(const ConnectionFields& fields)
{
    ConnectionFields f = fields;
    for (std::string* text : {&f.servidor, &f.database, &f.porta, &f.usuario, &f.senha})
        *text = Trimmed(*text);
    ConnectionDefinition def;
    const TTipoBanco kind = f.kind();
    def.setDriverID(DriverId(kind));
    def.set("DriverID", DriverId(kind));
    KindOf(kind).connectionParameters(def, f);
    return def;
}

} // namespace brivel
