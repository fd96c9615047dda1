#pragma once
#include <string>

namespace brivel::db {

// The first bind placeholder (":NAME", colon included) of an Oracle statement,
// outside quoted text and comments; empty when there is none.
std::string FirstBindPlaceholder(const std::string& sql);

// The connect descriptor as attached: a descriptor with no connect timeout of its
// own gets one, so that an address that never answers fails the open in about
// 15 seconds instead of waiting for the operating system. The descriptor is
// parsed: only a CONNECT_TIMEOUT or TRANSPORT_CONNECT_TIMEOUT parameter of the
// DESCRIPTION itself counts, never the text inside a value. Anything that is not
// a well-formed DESCRIPTION (an alias, a malformed text) is attached as given.
std::string WithConnectTimeout(const std::string& descriptor);

} // namespace brivel::db
