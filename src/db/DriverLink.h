#pragma once
#include "db/ClientLibrary.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace brivel::db {

// Where the PostgreSQL and Oracle adapters take their client library from.
// The library named by VendorLib is loaded by the first open of the kind and
// stays loaded until Release; the next open then loads it anew.
class DriverLink {
public:
    DriverLink(std::string driverId, std::string what, std::vector<std::string> defaultFiles);

    std::string VendorLib;
    std::string VendorHome;

    const std::string& driverId() const { return driverId_; }

    // Throws while a connection of this kind is open.
    void Release();

    // The loaded library, loading it on first use.
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
