#include "db/AdapterRegistry.h"

#include "core/Error.h"
#include "core/KindDescriptor.h"

namespace brivel::db {

std::unique_ptr<DbAdapter> CreateAdapter(const std::string& driverId, DriverLink* link)
{
    const KindDescriptor* kind = KindOfDriver(driverId);
    if (!kind)
        throw Error("Tipo de driver desconhecido: \"" + driverId + "\".");
    for (const AdapterRegistration* adapter : RegisteredAdapters())
        if (adapter->kind == kind->kind)
            return adapter->create(link);
    // The Windows core build keeps only the adapters whose client headers it has.
    throw Error(std::string("O acesso ao ") + kind->displayName + " não está disponível nesta versão do programa.");
}

} // namespace brivel::db
