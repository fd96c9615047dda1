#include "core/DbKind.h"

namespace brivel {

namespace {
struct KindFacts {
    const char* display;
    const char* config;
    const char* port;
    const char* driver;
};
constexpr KindFacts kFacts[kKindCount] = {
    {"MySQL", "MYSQL", "3306", "MySQL"},
    {"Firebird", "FIREBIRD", "3050", "FB"},
    {"Oracle", "ORACLE", "1521", "Ora"},
    {"SQL Server", "SQLSERVER", "1433", "MSSQL"},
    {"SQLite", "SQLITE", "", "SQLite"},
    {"PostgreSQL", "POSTGRESQL", "5432", "PG"},
};
} // namespace

TTipoBanco KindFromIndex(int index)
{
    return (index >= 1 && index < kKindCount) ? static_cast<TTipoBanco>(index) : tbMySQL;
}

const char* DisplayName(TTipoBanco kind) { return kFacts[kind].display; }
const char* ConfigName(TTipoBanco kind) { return kFacts[kind].config; }
const char* DefaultPort(TTipoBanco kind) { return kFacts[kind].port; }
const char* DriverId(TTipoBanco kind) { return kFacts[kind].driver; }

} // namespace brivel
