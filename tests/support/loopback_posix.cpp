#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "support/loopback_calls.h"

namespace testing_support {
namespace loopback_calls {
namespace {

int fd(Socket socket) { return static_cast<int>(socket); }

// Room for either family; the port sits at the same place in both.
sockaddr_storage addressOf(Address address, int port, socklen_t& length) {
    sockaddr_storage storage;
    std::memset(&storage, 0, sizeof storage);
    if (address == Address::kLoopbackIpv6Only) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_loopback;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
        length = sizeof *v6;
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(address == Address::kAnyIpv4 ? INADDR_ANY : INADDR_LOOPBACK);
        v4->sin_port = htons(static_cast<uint16_t>(port));
        length = sizeof *v4;
    }
    return storage;
}

}  // namespace

Socket open(Address address) {
    return ::socket(address == Address::kLoopbackIpv6Only ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
}

void close(Socket socket) { ::close(fd(socket)); }

bool bindAndListen(Socket socket, Address address, int port) {
    int on = 1;
    if (address == Address::kLoopbackIpv6Only) {
        ::setsockopt(fd(socket), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    }
    ::setsockopt(fd(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    socklen_t length = 0;
    const sockaddr_storage storage = addressOf(address, port, length);
    return ::bind(fd(socket), reinterpret_cast<const sockaddr*>(&storage), length) == 0 &&
           ::listen(fd(socket), 64) == 0;
}

bool connectToLoopback(Socket socket, int port) {
    socklen_t length = 0;
    const sockaddr_storage storage = addressOf(Address::kLoopbackIpv4, port, length);
    return ::connect(fd(socket), reinterpret_cast<const sockaddr*>(&storage), length) == 0;
}

Socket accept(Socket listener) { return ::accept(fd(listener), nullptr, nullptr); }

int localPort(Socket socket) {
    sockaddr_storage address;
    socklen_t length = sizeof address;
    if (::getsockname(fd(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return -1;
    }
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

long sendSome(Socket socket, const char* bytes, std::size_t size) {
    return static_cast<long>(::send(fd(socket), bytes, size, MSG_NOSIGNAL));
}

long receiveSome(Socket socket, char* buffer, std::size_t size) {
    return static_cast<long>(::recv(fd(socket), buffer, size, 0));
}

bool waitReadable(Socket socket, int timeoutMs) {
    pollfd entry{fd(socket), POLLIN, 0};
    return ::poll(&entry, 1, timeoutMs) > 0;
}

void shutdownWrite(Socket socket) { ::shutdown(fd(socket), SHUT_WR); }

}  // namespace loopback_calls
}  // namespace testing_support
