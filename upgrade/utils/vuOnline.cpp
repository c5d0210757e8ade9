#include "upgrade/utils/vuOnline.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vu {

bool IsOnline() {
    return HasNetworkAddress();
}

bool HasNetworkAddress() {
    char name[256] = {};
    if (gethostname(name, sizeof(name) - 1) != 0)
        return false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &list) != 0 || !list)
        return false;
    QByteArray last;
    for (addrinfo* a = list; a; a = a->ai_next) {
        if (!a->ai_addr)
            continue;
        char text[INET6_ADDRSTRLEN] = {};
        const void* address = nullptr;
        if (a->ai_family == AF_INET)
            address = &reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr;
        else if (a->ai_family == AF_INET6)
            address = &reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr;
        if (address && inet_ntop(a->ai_family, address, text, sizeof(text)))
            last = text;
    }
    freeaddrinfo(list);
    return IsNetworkAddress(last);
}

bool IsNetworkAddress(const QByteArray& address) {
    if (address.isEmpty())
        return false;
    in_addr v4{};
    if (inet_pton(AF_INET, address.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) != 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, address.constData(), &v6) != 1)
        return false;
    if (IN6_IS_ADDR_LOOPBACK(&v6))
        return false;
    // ::ffff:127.x.y.z is IPv4 loopback written as IPv6.
    return !(IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
}

} // namespace vu
