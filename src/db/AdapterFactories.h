#pragma once
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

// The files tried, in order, for the kinds that find their library themselves.
std::vector<std::string> MySqlLibraryFiles();
std::vector<std::string> FirebirdLibraryFiles();
std::vector<std::string> SqliteLibraryFiles();
std::vector<std::string> OdbcLibraryFiles();
// Defaults of the two driver links.
std::vector<std::string> PostgresLibraryFiles();
std::vector<std::string> OracleLibraryFiles();

} // namespace brivel::db
