#pragma once
#include <string>

namespace brivel::db {

// Waits at most `timeoutMs` for `socket` to be readable (or writable); true when
// it is, or when it is in error (the caller's next library call then says so).
bool WaitForSocket(long long socket, bool forWrite, int timeoutMs) noexcept;

// Whether `host` names no machine at all (the resolver's own answer, not a
// failure to reach it): after a connect that failed before any server answered.
bool HostNameUnknown(const std::string& host) noexcept;

} // namespace brivel::db
