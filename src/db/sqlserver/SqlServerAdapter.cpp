#include "db/AdapterFactories.h"

#include "core/Error.h"

namespace brivel::db {

std::unique_ptr<DbAdapter> CreateSqlServerAdapter()
{
    throw Error("SqlServer: adaptador ainda não disponível.");
}

} // namespace brivel::db
