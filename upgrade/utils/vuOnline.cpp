#include "upgrade/utils/vuOnline.h"

#include <QByteArray>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

bool IsOnline() {
    return HasNetworkAddress();
}

bool HasNetworkAddress() {
    char name[256] = {};
    if (gethostname(name, sizeof(name) - 1) != 0)
        return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &list) != 0 || !list)
        return false;
    QByteArray last;
    for (addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_family != AF_INET || !a->ai_addr)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* sin = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
        if (inet_ntop(AF_INET, &sin->sin_addr, text, sizeof(text)))
            last = text;
    }
    freeaddrinfo(list);
    return !last.isEmpty() && last != "127.0.0.1";
}
