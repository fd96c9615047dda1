#pragma once
#include "core/ConnectionDefinition.h"
#include "core/ConnectionFields.h"
#include "core/DbKind.h"
#include "db/Connection.h"

#include <functional>
#include <string>

namespace brivel::db {

// Receives the set-up's log lines ("PostgreSQL libpq carregada de: ...").
using SetupLog = std::function<void(const std::string&)>;

// Closes the connection and puts `def` (driver and parameters) in place of its definition.
void Define(Connection& conn, const ConnectionDefinition& def);

// Makes the client library in `folder` the one the connection's link loads for
// PostgreSQL or Oracle; the other kinds find theirs themselves and nothing happens.
// Throws, naming the missing file, before the link changes. The connection must
// be closed (a PostgreSQL link is released).
void UseLocalClient(Connection& conn, TTipoBanco kind, const std::string& folder, const SetupLog& log = {});

// The connection page's fields to a closed connection ready to open: closes it,
// clears its parameters, takes the kind's client library from `clientFolder` (the
// executable's folder in the program), then sets the fields' definition. A missing
// library stops it there, the connection left closed with no parameters.
void SetUpConnection(Connection& conn, const ConnectionFields& fields, const std::string& clientFolder,
                     const SetupLog& log = {});

// The same without the client-library step: the links keep what they load.
void SetUpConnection(Connection& conn, const ConnectionFields& fields);

} // namespace brivel::db
