#pragma once

namespace brivel::db {

// Shuts a client library's connected socket both ways, so that a call blocked
// reading from it returns at once. Used only while that call is still running.
void ShutdownSocket(long long socket) noexcept;

} // namespace brivel::db
