#pragma once
#include "core/DbKind.h"
#include "db/ClientLibrary.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace brivel::db {

// Where the PostgreSQL and Oracle adapters take their client library from.
// The library named by VendorLib is taken by the first open of the kind and
// kept until Release; the next open then takes the library VendorLib names at
// that time. A library once loaded stays loaded in the process (ClientLibrary),
// so taking the same file again costs nothing and loses nothing.
class DriverLink {
public:
    DriverLink(std::string driverId, std::string what, std::vector<std::string> defaultFiles);
    // The kind's driver id, name and client library files.
    explicit DriverLink(TTipoBanco kind);

    std::string VendorLib;
    std::string VendorHome;

    const std::string& driverId() const { return driverId_; }

    // Throws while a connection of this kind is open.
    void Release();

    // The library of this link, taken on first use.
    std::shared_ptr<ClientLibrary> library();
    bool loaded() const { return library_ != nullptr; }

    // Set by the connections that use this link, to refuse a release while open.
    std::function<bool()> isInUse;

private:
    std::string driverId_;
    std::string what_;
    std::vector<std::string> defaultFiles_;
    std::shared_ptr<ClientLibrary> library_;
};

} // namespace brivel::db
