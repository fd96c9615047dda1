#pragma once
#include "core/ConnectionDefinition.h"

#include <string>
#include <vector>

namespace brivel::db {

// The SQL Server ODBC drivers the adapter accepts, most preferred first.
const std::vector<std::string>& SqlServerDriverNames();

// The installed name (as the driver manager spells it) of the first accepted
// driver, names compared without regard to case; throws when none is installed.
std::string ChooseSqlServerDriver(const std::vector<std::string>& installed);

// One connection-string value: as typed when it holds only letters, digits and
// ". _ - ,", otherwise in braces with every "}" doubled.
std::string OdbcValue(const std::string& value);

// The SQLDriverConnect string for `driver` from the definition's Server, Port,
// Database, User_Name, Password and OSAuthent.
std::string SqlServerConnectionString(const std::string& driver, const ConnectionDefinition& def);

} // namespace brivel::db
