#include "db/AdapterFactories.h"

#include "core/Error.h"

namespace brivel::db {

std::unique_ptr<DbAdapter> CreateMySqlAdapter()
{
    throw Error("MySql: adaptador ainda não disponível.");
}

} // namespace brivel::db
