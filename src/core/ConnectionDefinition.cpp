#include "core/ConnectionDefinition.h"

#include "core/ConnectionFields.h"

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
    return "(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=" + host + ")(PORT=" + port + "))" +
           "(CONNECT_DATA=(SERVICE_NAME=" + service + "))" + ")";
}

ConnectionDefinition DefinitionFor(const ConnectionFields& f)
{
    ConnectionDefinition def;
    const TTipoBanco kind = f.kind();
    def.setDriverID(DriverId(kind));
    def.loginPrompt = false;
    def.set("DriverID", DriverId(kind));
    auto serverKind = [&](const char* lastName, const char* lastValue) {
        def.set("Server", f.servidor);
        def.set("Port", f.porta);
        def.set("Database", f.database);
        def.set("User_Name", f.usuario);
        def.set("Password", f.senha);
        def.set(lastName, lastValue);
    };
    switch (kind) {
    case tbMySQL: serverKind("CharacterSet", "utf8mb4"); break;
    case tbFirebird: serverKind("CharacterSet", "NONE"); break;
    case tbSQLServer: serverKind("OSAuthent", "No"); break;
    case tbPostgreSQL: serverKind("CharacterSet", "utf8"); break;
    case tbOracle:
        def.set("User_Name", f.usuario);
        def.set("Password", f.senha);
        def.set("Database", OracleDescriptor(f.servidor, f.porta, f.database));
        def.set("CharacterSet", "UTF8");
        break;
    case tbSQLite:
        def.set("Database", f.database);
        def.set("LockingMode", "Normal");
        def.set("Synchronous", "Normal");
        break;
    }
    return def;
}

} // namespace brivel
