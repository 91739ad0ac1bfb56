#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "support/loopback.h"

namespace testing_support {
namespace {

sockaddr_in addressOf(int port, bool allInterfaces) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(allInterfaces ? INADDR_ANY : INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

bool waitReadable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

}  // namespace

LoopbackSocket::LoopbackSocket() : handle_(::socket(AF_INET, SOCK_STREAM, 0)) {}
LoopbackSocket::LoopbackSocket(std::intptr_t handle) : handle_(handle) {}
LoopbackSocket::LoopbackSocket(LoopbackSocket&& other) noexcept : handle_(other.handle_) {
    other.handle_ = -1;
}
LoopbackSocket::~LoopbackSocket() { close(); }

bool LoopbackSocket::valid() const { return handle_ >= 0; }

void LoopbackSocket::close() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

bool LoopbackSocket::connectTo(int port) {
    sockaddr_in address = addressOf(port, false);
    return valid() && ::connect(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&address),
                                sizeof address) == 0;
}

bool LoopbackSocket::listenOn(int port, bool allInterfaces) {
    sockaddr_in address = addressOf(port, allInterfaces);
    // Test servers reuse fixed ports right after an earlier test closed them.
    int reuse = 1;
    ::setsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    return valid() &&
           ::bind(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&address),
                  sizeof address) == 0 &&
           ::listen(static_cast<int>(handle_), 64) == 0;
}

bool LoopbackSocket::listenOnIpv6Loopback(int port) {
    close();
    handle_ = ::socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 address;
    std::memset(&address, 0, sizeof address);
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    address.sin6_port = htons(static_cast<uint16_t>(port));
    int on = 1;
    ::setsockopt(static_cast<int>(handle_), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    ::setsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    return valid() &&
           ::bind(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&address),
                  sizeof address) == 0 &&
           ::listen(static_cast<int>(handle_), 64) == 0;
}

LoopbackSocket LoopbackSocket::acceptOne(int timeoutMs) {
    if (!valid() || !waitReadable(static_cast<int>(handle_), timeoutMs)) {
        return LoopbackSocket(-1);
    }
    return LoopbackSocket(::accept(static_cast<int>(handle_), nullptr, nullptr));
}

int LoopbackSocket::localPort() const {
    // Room for either family; the port sits at the same place in both.
    sockaddr_storage address;
    socklen_t length = sizeof address;
    if (::getsockname(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&address), &length) !=
        0) {
        return -1;
    }
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

bool LoopbackSocket::sendAll(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(static_cast<int>(handle_), bytes.data() + sent,
                                 bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

long LoopbackSocket::receiveSome(char* buffer, std::size_t size, int timeoutMs) {
    if (!valid() || !waitReadable(static_cast<int>(handle_), timeoutMs)) {
        return 0;
    }
    const ssize_t n = ::recv(static_cast<int>(handle_), buffer, size, 0);
    return n > 0 ? static_cast<long>(n) : 0;
}

void LoopbackSocket::shutdownWrite() { ::shutdown(static_cast<int>(handle_), SHUT_WR); }

}  // namespace testing_support
