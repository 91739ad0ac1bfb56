#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/loopback.h"
#include "support/loopback_address.h"

namespace testing_support {

std::intptr_t LoopbackSocket::openSocket(Address address) {
    return ::socket(address == Address::kLoopbackIpv6Only ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
}

void LoopbackSocket::closeSocket() { ::close(static_cast<int>(handle_)); }

bool LoopbackSocket::bindAndListen(Address address, int port) {
    const int fd = static_cast<int>(handle_);
    const bool ipv6 = address == Address::kLoopbackIpv6Only;
    int on = 1;
    if (ipv6) ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    SocketAddress a;
    const auto length =
        static_cast<socklen_t>(fillAddress(a, ipv6, address == Address::kAnyIpv4, port));
    return ::bind(fd, &a.any, length) == 0 && ::listen(fd, 64) == 0;
}

bool LoopbackSocket::connectToLoopback(bool ipv6, int port) {
    SocketAddress a;
    const auto length = static_cast<socklen_t>(fillAddress(a, ipv6, false, port));
    return ::connect(static_cast<int>(handle_), &a.any, length) == 0;
}

std::intptr_t LoopbackSocket::acceptSocket() {
    return ::accept(static_cast<int>(handle_), nullptr, nullptr);
}

int LoopbackSocket::localPort() const {
    SocketAddress a;
    socklen_t length = sizeof a;
    const bool named = ::getsockname(static_cast<int>(handle_), &a.any, &length) == 0;
    return named ? ntohs(a.v4.sin_port) : -1;
}

long LoopbackSocket::sendNow(const char* bytes, std::size_t size) {
    return static_cast<long>(::send(static_cast<int>(handle_), bytes, size, MSG_NOSIGNAL));
}

long LoopbackSocket::receiveNow(char* buffer, std::size_t size) {
    return static_cast<long>(::recv(static_cast<int>(handle_), buffer, size, 0));
}

bool LoopbackSocket::waitReadable(int timeoutMs) {
    pollfd entry{static_cast<int>(handle_), POLLIN, 0};
    return ::poll(&entry, 1, timeoutMs) > 0;
}

void LoopbackSocket::shutdownWrite() { ::shutdown(static_cast<int>(handle_), SHUT_WR); }

}  // namespace testing_support
