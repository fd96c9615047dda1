#include "db/SocketShutdown.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace brivel::db {

void ShutdownSocket(long long socket) noexcept
{
    if (socket < 0)
        return;
#ifdef _WIN32
    ::shutdown(static_cast<SOCKET>(socket), SD_BOTH);
#else
    ::shutdown(static_cast<int>(socket), SHUT_RDWR);
#endif
}

} // namespace brivel::db
