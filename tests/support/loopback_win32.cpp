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

// Room for either family; the port sits at the same place in both.
sockaddr_storage addressOf(Address address, int port, int& length) {
    sockaddr_storage storage;
    std::memset(&storage, 0, sizeof storage);
    if (address == Address::kLoopbackIpv6Only) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_loopback;
        v6->sin6_port = htons(static_cast<u_short>(port));
        length = sizeof *v6;
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(address == Address::kAnyIpv4 ? INADDR_ANY : INADDR_LOOPBACK);
        v4->sin_port = htons(static_cast<u_short>(port));
        length = sizeof *v4;
    }
    return storage;
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
    int length = 0;
    const sockaddr_storage storage = addressOf(address, port, length);
    return ::bind(native(socket), reinterpret_cast<const sockaddr*>(&storage), length) == 0 &&
           ::listen(native(socket), 64) == 0;
}

bool connectToLoopback(Socket socket, int port) {
    int length = 0;
    const sockaddr_storage storage = addressOf(Address::kLoopbackIpv4, port, length);
    return ::connect(native(socket), reinterpret_cast<const sockaddr*>(&storage), length) == 0;
}

Socket accept(Socket listener) {
    return static_cast<Socket>(::accept(native(listener), nullptr, nullptr));
}

int localPort(Socket socket) {
    sockaddr_storage address;
    int length = sizeof address;
    if (::getsockname(native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return -1;
    }
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
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
