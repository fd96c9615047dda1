#include "db/AdapterFactories.h"

#include "core/Error.h"

namespace brivel::db {

std::unique_ptr<DbAdapter> CreateFirebirdAdapter()
{
    throw Error("Firebird: adaptador ainda não disponível.");
}

} // namespace brivel::db
