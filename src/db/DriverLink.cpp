#include "db/DriverLink.h"

#include "core/Error.h"
#include "core/KindDescriptor.h"

namespace brivel::db {

DriverLink::DriverLink(std::string driverId, std::string what, std::vector<std::string> defaultFiles)
    : driverId_(std::move(driverId)), what_(std::move(what)), defaultFiles_(std::move(defaultFiles))
{
}

DriverLink::DriverLink(TTipoBanco kind)
    : DriverLink(DriverId(kind), DisplayName(kind), KindOf(kind).clientLibraries.here())
{
}

void DriverLink::Release()
{
    if (isInUse && isInUse())
        throw Error("A biblioteca cliente do " + what_ + " não pode ser liberada com uma conexão aberta.");
    library_.reset();
}

std::shared_ptr<ClientLibrary> DriverLink::library()
{
    if (!library_)
        library_ = ClientLibrary::Load(VendorLib.empty() ? defaultFiles_ : std::vector<std::string>{VendorLib}, what_);
    return library_;
}

} // namespace brivel::db
