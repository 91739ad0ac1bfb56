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

SOCKET startAndOpen() {
    static WinsockSession session;
    return ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
}

sockaddr_in addressOf(int port, bool allInterfaces) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(allInterfaces ? INADDR_ANY : INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    return address;
}

bool waitReadable(SOCKET s, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return ::select(0, &readable, nullptr, nullptr, &limit) > 0;
}

SOCKET native(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

}  // namespace

LoopbackSocket::LoopbackSocket() : handle_(static_cast<std::intptr_t>(startAndOpen())) {}
LoopbackSocket::LoopbackSocket(std::intptr_t handle) : handle_(handle) {}
LoopbackSocket::LoopbackSocket(LoopbackSocket&& other) noexcept : handle_(other.handle_) {
    other.handle_ = static_cast<std::intptr_t>(INVALID_SOCKET);
}
LoopbackSocket::~LoopbackSocket() { close(); }

bool LoopbackSocket::valid() const { return native(handle_) != INVALID_SOCKET; }

void LoopbackSocket::close() {
    if (valid()) {
        ::closesocket(native(handle_));
        handle_ = static_cast<std::intptr_t>(INVALID_SOCKET);
    }
}

bool LoopbackSocket::connectTo(int port) {
    sockaddr_in address = addressOf(port, false);
    return valid() &&
           ::connect(native(handle_), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool LoopbackSocket::listenOn(int port, bool allInterfaces) {
    sockaddr_in address = addressOf(port, allInterfaces);
    // Exclusive use, so a later bind probe of the same port fails as it would on POSIX.
    BOOL exclusive = TRUE;
    ::setsockopt(native(handle_), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                 reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
    return valid() &&
           ::bind(native(handle_), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
           ::listen(native(handle_), 64) == 0;
}

bool LoopbackSocket::listenOnIpv6Loopback(int port) {
    close();
    handle_ = static_cast<std::intptr_t>(::socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in6 address;
    std::memset(&address, 0, sizeof address);
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    address.sin6_port = htons(static_cast<u_short>(port));
    DWORD on = 1;
    ::setsockopt(native(handle_), IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&on),
                 sizeof on);
    ::setsockopt(native(handle_), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                 reinterpret_cast<const char*>(&on), sizeof on);
    return valid() &&
           ::bind(native(handle_), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
           ::listen(native(handle_), 64) == 0;
}

LoopbackSocket LoopbackSocket::acceptOne(int timeoutMs) {
    if (!valid() || !waitReadable(native(handle_), timeoutMs)) {
        return LoopbackSocket(static_cast<std::intptr_t>(INVALID_SOCKET));
    }
    return LoopbackSocket(static_cast<std::intptr_t>(::accept(native(handle_), nullptr, nullptr)));
}

int LoopbackSocket::localPort() const {
    // Room for either family; the port sits at the same place in both.
    sockaddr_storage address;
    int length = sizeof address;
    if (::getsockname(native(handle_), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return -1;
    }
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

bool LoopbackSocket::sendAll(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int n =
            ::send(native(handle_), bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

long LoopbackSocket::receiveSome(char* buffer, std::size_t size, int timeoutMs) {
    if (!valid() || !waitReadable(native(handle_), timeoutMs)) {
        return 0;
    }
    const int n = ::recv(native(handle_), buffer, static_cast<int>(size), 0);
    return n > 0 ? static_cast<long>(n) : 0;
}

void LoopbackSocket::shutdownWrite() { ::shutdown(native(handle_), SD_SEND); }

}  // namespace testing_support
