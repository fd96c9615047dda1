#pragma once
// The login page's fields and the connection defined from them, as the
// connection test does it; Qt-free, for the Linux tests and the Windows runner.
#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "db/Connection.h"

#include <string>

namespace brivel::test {

inline ConnectionFields FieldsOf(TTipoBanco kind, const std::string& host, const std::string& port,
                                 const std::string& database, const std::string& user, const std::string& password)
{
    ConnectionFields f;
    f.kindIndex = kind;
    f.servidor = host;
    f.porta = port;
    f.database = database;
    f.usuario = user;
    f.senha = password;
    return f;
}

// Defines `c` (closing it first) with what the connection page builds from `fields`.
inline void DefineConnection(db::Connection& c, const ConnectionFields& fields)
{
    const ConnectionDefinition def = DefinitionFor(fields);
    c.close();
    c.clearParams();
    c.setDriverID(def.driverID());
    for (const auto& [name, value] : def.params())
        c.setParam(name, value);
    c.setLoginPrompt(false);
}

} // namespace brivel::test
