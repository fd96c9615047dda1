#include "db/AdapterFactories.h"

#include "core/Error.h"

namespace brivel::db {

std::unique_ptr<DbAdapter> CreatePostgresAdapter(std::shared_ptr<ClientLibrary>)
{
    throw Error("Postgres: adaptador ainda não disponível.");
}

} // namespace brivel::db
