#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#endif

#include "db/Sockets.h"

namespace brivel::db {

bool WaitForSocket(long long socket, bool forWrite, int timeoutMs) noexcept
{
    if (socket < 0)
        return true;
#ifdef _WIN32
    // select() on Windows takes any socket number (its sets are lists, not bitmaps).
    fd_set set, errors;
    FD_ZERO(&set);
    FD_ZERO(&errors);
    FD_SET(static_cast<SOCKET>(socket), &set);
    FD_SET(static_cast<SOCKET>(socket), &errors);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return ::select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, &errors, &tv) != 0;
#else
    pollfd p{static_cast<int>(socket), static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
    return ::poll(&p, 1, timeoutMs) != 0;
#endif
}

bool HostNameUnknown(const std::string& host) noexcept
{
    if (host.empty())
        return false;
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (found)
        ::freeaddrinfo(found);
#ifdef EAI_NODATA
    if (rc == EAI_NODATA)
        return true;
#endif
    return rc == EAI_NONAME || rc == EAI_FAIL;
}

} // namespace brivel::db
