#include "db/AdapterFactories.h"

namespace brivel::db {

#ifdef _WIN32
std::vector<std::string> MySqlLibraryFiles() { return {"libmysql.dll", "libmariadb", "libmysqld.dll"}; }
std::vector<std::string> FirebirdLibraryFiles() { return {"fbclient.dll", "fbembed.dll"}; }
std::vector<std::string> SqliteLibraryFiles() { return {"sqlite3.dll", "libdb_sql51.dll"}; }
std::vector<std::string> OdbcLibraryFiles() { return {"odbc32.dll"}; }
std::vector<std::string> PostgresLibraryFiles() { return {"libpq.dll"}; }
std::vector<std::string> OracleLibraryFiles() { return {"oci.dll"}; }
#else
std::vector<std::string> MySqlLibraryFiles() { return {"libmysqlclient.so.21", "libmariadb.so.3", "libmysqlclient.so"}; }
std::vector<std::string> FirebirdLibraryFiles() { return {"libfbclient.so.2", "libfbclient.so"}; }
std::vector<std::string> SqliteLibraryFiles() { return {"libsqlite3.so.0", "libsqlite3.so"}; }
std::vector<std::string> OdbcLibraryFiles() { return {"libodbc.so.2", "libodbc.so"}; }
std::vector<std::string> PostgresLibraryFiles() { return {"libpq.so.5"}; }
std::vector<std::string> OracleLibraryFiles() { return {"libclntsh.so"}; }
#endif

} // namespace brivel::db
