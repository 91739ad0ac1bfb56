#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/loopback.h"
#include "support/loopback_address.h"

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
    const int length = fillAddress(a, ipv6, address == Address::kAnyIpv4, port);
    return ::bind(native(handle_), &a.any, length) == 0 && ::listen(native(handle_), 64) == 0;
}

bool LoopbackSocket::connectToLoopback(bool ipv6, int port) {
    SocketAddress a;
    const int length = fillAddress(a, ipv6, false, port);
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
