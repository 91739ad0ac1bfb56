#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "support/loopback_calls.h"

namespace testing_support {
namespace loopback_calls {
namespace {

// Winsock must be started once per process before any socket call.
struct WinsockSession {
    WinsockSession() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockSession() { WSACleanup(); }
};

SOCKET native(Socket socket) { return static_cast<SOCKET>(socket); }

// The port sits at the same place in both families.
union SocketAddress {
    sockaddr any;
    sockaddr_in v4;
    sockaddr_in6 v6;
};

int fill(SocketAddress& a, Address address, int port) {
    std::memset(&a, 0, sizeof a);
    a.v4.sin_port = htons(static_cast<u_short>(port));
    if (address == Address::kLoopbackIpv6Only) {
        a.v6.sin6_family = AF_INET6;
        a.v6.sin6_addr = in6addr_loopback;
        return sizeof a.v6;
    }
    a.v4.sin_family = AF_INET;
    a.v4.sin_addr.s_addr = htonl(address == Address::kAnyIpv4 ? INADDR_ANY : INADDR_LOOPBACK);
    return sizeof a.v4;
}

}  // namespace

Socket open(Address address) {
    static WinsockSession session;
    const int family = address == Address::kLoopbackIpv6Only ? AF_INET6 : AF_INET;
    return static_cast<Socket>(::socket(family, SOCK_STREAM, IPPROTO_TCP));
}

void close(Socket socket) { ::closesocket(native(socket)); }

bool bindAndListen(Socket socket, Address address, int port) {
    DWORD on = 1;
    const char* value = reinterpret_cast<const char*>(&on);
    if (address == Address::kLoopbackIpv6Only) {
        ::setsockopt(native(socket), IPPROTO_IPV6, IPV6_V6ONLY, value, sizeof on);
    }
    ::setsockopt(native(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, value, sizeof on);
    SocketAddress a;
    const int length = fill(a, address, port);
    return ::bind(native(socket), &a.any, length) == 0 && ::listen(native(socket), 64) == 0;
}

bool connectToLoopback(Socket socket, int port) {
    SocketAddress a;
    const int length = fill(a, Address::kLoopbackIpv4, port);
    return ::connect(native(socket), &a.any, length) == 0;
}

Socket accept(Socket listener) {
    return static_cast<Socket>(::accept(native(listener), nullptr, nullptr));
}

int localPort(Socket socket) {
    SocketAddress a;
    int length = sizeof a;
    return ::getsockname(native(socket), &a.any, &length) == 0 ? ntohs(a.v4.sin_port) : -1;
}

long sendSome(Socket socket, const char* bytes, std::size_t size) {
    return ::send(native(socket), bytes, static_cast<int>(size), 0);
}

long receiveSome(Socket socket, char* buffer, std::size_t size) {
    return ::recv(native(socket), buffer, static_cast<int>(size), 0);
}

bool waitReadable(Socket socket, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(native(socket), &readable);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return ::select(0, &readable, nullptr, nullptr, &limit) > 0;
}

void shutdownWrite(Socket socket) { ::shutdown(native(socket), SD_SEND); }

}  // namespace loopback_calls
}  // namespace testing_support
