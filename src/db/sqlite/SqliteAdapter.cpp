#include "db/AdapterFactories.h"

#include "core/Error.h"

namespace brivel::db {

std::unique_ptr<DbAdapter> CreateSqliteAdapter()
{
    throw Error("Sqlite: adaptador ainda não disponível.");
}

} // namespace brivel::db
