#include "db/AdapterFactories.h"

#include "core/Error.h"

namespace brivel::db {

std::unique_ptr<DbAdapter> CreateOracleAdapter(std::shared_ptr<ClientLibrary>, std::string)
{
    throw Error("Oracle: adaptador ainda não disponível.");
}

} // namespace brivel::db
