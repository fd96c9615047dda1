// Factories of the kinds left out of a build (the Windows core build keeps only
// the adapters whose client headers it has): opening such a kind says so plainly.
#include "db/AdapterFactories.h"

#include "core/Error.h"

namespace brivel::db {

namespace {
[[noreturn]] void NotInThisBuild(const char* kind)
{
    throw Error(std::string("O acesso ao ") + kind + " não está disponível nesta versão do programa.");
}
} // namespace

#ifdef BRIVEL_WITHOUT_MYSQL
std::unique_ptr<DbAdapter> CreateMySqlAdapter() { NotInThisBuild("MySQL"); }
#endif
#ifdef BRIVEL_WITHOUT_FIREBIRD
std::unique_ptr<DbAdapter> CreateFirebirdAdapter() { NotInThisBuild("Firebird"); }
#endif
#ifdef BRIVEL_WITHOUT_SQLITE
std::unique_ptr<DbAdapter> CreateSqliteAdapter() { NotInThisBuild("SQLite"); }
#endif
#ifdef BRIVEL_WITHOUT_SQLSERVER
std::unique_ptr<DbAdapter> CreateSqlServerAdapter() { NotInThisBuild("SQL Server"); }
#endif
#ifdef BRIVEL_WITHOUT_POSTGRESQL
std::unique_ptr<DbAdapter> CreatePostgresAdapter(std::shared_ptr<ClientLibrary>) { NotInThisBuild("PostgreSQL"); }
#endif
#ifdef BRIVEL_WITHOUT_ORACLE
std::unique_ptr<DbAdapter> CreateOracleAdapter(std::shared_ptr<ClientLibrary>, std::string)
{
    NotInThisBuild("Oracle");
}
#endif

} // namespace brivel::db
