#pragma once
#include "core/KindDescriptor.h"
#include "db/ClientLibrary.h"
#include "db/DbAdapter.h"

#include <memory>
#include <string>

namespace brivel::db {

// One per kind; each lives in the kind's own folder.
std::unique_ptr<DbAdapter> CreateMySqlAdapter();
std::unique_ptr<DbAdapter> CreateFirebirdAdapter();
std::unique_ptr<DbAdapter> CreateSqliteAdapter();
std::unique_ptr<DbAdapter> CreateSqlServerAdapter();
std::unique_ptr<DbAdapter> CreatePostgresAdapter(std::shared_ptr<ClientLibrary> libpq);
std::unique_ptr<DbAdapter> CreateOracleAdapter(std::shared_ptr<ClientLibrary> oci, std::string home);

// The files tried, in order, for a kind's client library on this platform.
inline const std::vector<std::string>& ClientLibraryFiles(TTipoBanco kind)
{
    return KindOf(kind).clientLibraries.here();
}
inline std::vector<std::string> MySqlLibraryFiles() { return ClientLibraryFiles(tbMySQL); }
inline std::vector<std::string> FirebirdLibraryFiles() { return ClientLibraryFiles(tbFirebird); }
inline std::vector<std::string> SqliteLibraryFiles() { return ClientLibraryFiles(tbSQLite); }
inline std::vector<std::string> OdbcLibraryFiles() { return ClientLibraryFiles(tbSQLServer); }
// Defaults of the two driver links.
inline std::vector<std::string> PostgresLibraryFiles() { return ClientLibraryFiles(tbPostgreSQL); }
inline std::vector<std::string> OracleLibraryFiles() { return ClientLibraryFiles(tbOracle); }

} // namespace brivel::db
