#pragma once
#include "core/DbKind.h"
#include "db/DbAdapter.h"
#include "db/DriverLink.h"

#include <memory>
#include <string>
#include <vector>

namespace brivel::db {

// A kind's adapter, as its folder under db/ offers it (a function
// <folder>::Registration() there); the build lists the folders it compiles.
struct AdapterRegistration {
    TTipoBanco kind;
    // `link` is the kind's driver link, or null for kinds that find their library themselves.
    std::unique_ptr<DbAdapter> (*create)(DriverLink* link);
};

// The adapters compiled into this program.
const std::vector<const AdapterRegistration*>& RegisteredAdapters();

// A new adapter for the driver id. Throws for an unknown id, and for a kind
// this build leaves out.
std::unique_ptr<DbAdapter> CreateAdapter(const std::string& driverId, DriverLink* link);

} // namespace brivel::db
