#pragma once
#include <string>

namespace brivel {

// Order matters: the entry at index i of the kind list is the kind with value i.
enum TTipoBanco { tbMySQL = 0, tbFirebird = 1, tbOracle = 2, tbSQLServer = 3, tbSQLite = 4, tbPostgreSQL = 5 };

constexpr int kKindCount = 6;

// Index 1..5 gives that kind; anything else (0, -1, out of range) gives MySQL.
TTipoBanco KindFromIndex(int index);

// The kind's facts live in its descriptor (core/KindDescriptor.h); these read them.
const char* DisplayName(TTipoBanco kind);   // "SQL Server"
const char* ConfigName(TTipoBanco kind);    // "SQLSERVER"
const char* DefaultPort(TTipoBanco kind);   // "" for SQLite
const char* DriverId(TTipoBanco kind);      // "MSSQL"

// The host name used wherever the local machine is meant.
inline constexpr const char* kLoopbackHost = "localhost";

} // namespace brivel
