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

// The port sits at the same place in both families.
union SocketAddress {
    sockaddr any;
    sockaddr_in v4;
    sockaddr_in6 v6;
};

socklen_t fill(SocketAddress& a, Address address, int port) {
    std::memset(&a, 0, sizeof a);
    a.v4.sin_port = htons(static_cast<uint16_t>(port));
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
    return ::socket(address == Address::kLoopbackIpv6Only ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
}

void close(Socket socket) { ::close(fd(socket)); }

bool bindAndListen(Socket socket, Address address, int port) {
    int on = 1;
    if (address == Address::kLoopbackIpv6Only) {
        ::setsockopt(fd(socket), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    }
    ::setsockopt(fd(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    SocketAddress a;
    const socklen_t length = fill(a, address, port);
    return ::bind(fd(socket), &a.any, length) == 0 && ::listen(fd(socket), 64) == 0;
}

bool connectToLoopback(Socket socket, int port) {
    SocketAddress a;
    const socklen_t length = fill(a, Address::kLoopbackIpv4, port);
    return ::connect(fd(socket), &a.any, length) == 0;
}

Socket accept(Socket listener) { return ::accept(fd(listener), nullptr, nullptr); }

int localPort(Socket socket) {
    SocketAddress a;
    socklen_t length = sizeof a;
    return ::getsockname(fd(socket), &a.any, &length) == 0 ? ntohs(a.v4.sin_port) : -1;
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
