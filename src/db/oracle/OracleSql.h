#pragma once
#include <string>

namespace brivel::db {

// The first bind placeholder (":NAME", colon included) of an Oracle statement,
// outside quoted text and comments; empty when there is none.
std::string FirstBindPlaceholder(const std::string& sql);

} // namespace brivel::db
