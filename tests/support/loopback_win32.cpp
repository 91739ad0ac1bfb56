#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "support/loopback.h"

namespace testing_support {
namespace {

// Winsock must be started once per process before any socket call.
struct WinsockSession {
    WinsockSession() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockSession() { WSACleanup(); }
};

SOCKET native(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

// The port sits at the same place in both families.
union SocketAddress {
    sockaddr any;
    sockaddr_in v4;
    sockaddr_in6 v6;
};

int fill(SocketAddress& a, bool ipv6, bool anyAddress, int port) {
    std::memset(&a, 0, sizeof a);
    a.v4.sin_port = htons(static_cast<u_short>(port));
    if (ipv6) {
        a.v6.sin6_family = AF_INET6;
        a.v6.sin6_addr = in6addr_loopback;
        return sizeof a.v6;
    }
    a.v4.sin_family = AF_INET;
    a.v4.sin_addr.s_addr = htonl(anyAddress ? INADDR_ANY : INADDR_LOOPBACK);
    return sizeof a.v4;
}

}  // namespace

std::intptr_t LoopbackSocket::openSocket(Address address) {
    static WinsockSession session;
    const int family = address == Address::kLoopbackIpv6Only ? AF_INET6 : AF_INET;
    return static_cast<std::intptr_t>(::socket(family, SOCK_STREAM, IPPROTO_TCP));
}

void LoopbackSocket::closeSocket() { ::closesocket(native(handle_)); }

bool LoopbackSocket::bindAndListen(Address address, int port) {
    const bool ipv6 = address == Address::kLoopbackIpv6Only;
    DWORD on = 1;
    const char* value = reinterpret_cast<const char*>(&on);
    if (ipv6) ::setsockopt(native(handle_), IPPROTO_IPV6, IPV6_V6ONLY, value, sizeof on);
    ::setsockopt(native(handle_), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, value, sizeof on);
    SocketAddress a;
    const int length = fill(a, ipv6, address == Address::kAnyIpv4, port);
    return ::bind(native(handle_), &a.any, length) == 0 && ::listen(native(handle_), 64) == 0;
}

bool LoopbackSocket::connectToLoopback(int port) {
    SocketAddress a;
    const int length = fill(a, false, false, port);
    return ::connect(native(handle_), &a.any, length) == 0;
}

std::intptr_t LoopbackSocket::acceptSocket() {
    return static_cast<std::intptr_t>(::accept(native(handle_), nullptr, nullptr));
}

int LoopbackSocket::localPort() const {
    SocketAddress a;
    int length = sizeof a;
    return ::getsockname(native(handle_), &a.any, &length) == 0 ? ntohs(a.v4.sin_port) : -1;
}

long LoopbackSocket::sendNow(const char* bytes, std::size_t size) {
    return ::send(native(handle_), bytes, static_cast<int>(size), 0);
}

long LoopbackSocket::receiveNow(char* buffer, std::size_t size) {
    return ::recv(native(handle_), buffer, static_cast<int>(size), 0);
}

bool LoopbackSocket::waitReadable(int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(native(handle_), &readable);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return ::select(0, &readable, nullptr, nullptr, &limit) > 0;
}

void LoopbackSocket::shutdownWrite() { ::shutdown(native(handle_), SD_SEND); }

}  // namespace testing_support
