#pragma once
// The login page's fields for a test; Qt-free, for the Linux tests and the Windows runner.
#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "db/Connection.h"
#include "db/ConnectionSetup.h"

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

// Defines `c` (closing it first) the way the connection page does from `fields`.
inline void DefineConnection(db::Connection& c, const ConnectionFields& fields) { db::SetUpConnection(c, fields); }

} // namespace brivel::test
