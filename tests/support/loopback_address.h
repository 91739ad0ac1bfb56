#pragma once

// The addresses a loopback test socket binds and connects to; included by the
// per-system socket files after their system headers.

#include <cstring>

namespace testing_support {

// The port sits at the same place in both families.
union SocketAddress {
    sockaddr any;
    sockaddr_in v4;
    sockaddr_in6 v6;
};

// Fills `a` with ::1 (`ipv6`), 0.0.0.0 (`anyAddress`) or 127.0.0.1 and
// `port`; returns the address's length.
inline int fillAddress(SocketAddress& a, bool ipv6, bool anyAddress, int port) {
    std::memset(&a, 0, sizeof a);
    a.v4.sin_port = htons(static_cast<unsigned short>(port));
    if (ipv6) {
        a.v6.sin6_family = AF_INET6;
        a.v6.sin6_addr = in6addr_loopback;
        return sizeof a.v6;
    }
    a.v4.sin_family = AF_INET;
    a.v4.sin_addr.s_addr = htonl(anyAddress ? INADDR_ANY : INADDR_LOOPBACK);
    return sizeof a.v4;
}

}  // namespace testing_support
