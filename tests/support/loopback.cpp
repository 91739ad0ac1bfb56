#include "support/loopback.h"

#include <chrono>
#include <utility>

namespace testing_support {

LoopbackSocket::LoopbackSocket() : handle_(openSocket(Address::kAnyIpv4)) {}
LoopbackSocket::LoopbackSocket(std::intptr_t handle) : handle_(handle) {}
LoopbackSocket::LoopbackSocket(LoopbackSocket&& other) noexcept : handle_(other.handle_) {
    other.handle_ = kNoSocket;
}
LoopbackSocket::~LoopbackSocket() { close(); }

bool LoopbackSocket::valid() const { return handle_ != kNoSocket; }

void LoopbackSocket::close() {
    if (valid()) {
        closeSocket();
        handle_ = kNoSocket;
    }
}

bool LoopbackSocket::connectTo(int port, bool ipv6) {
    if (ipv6) {
        close();
        handle_ = openSocket(Address::kLoopbackIpv6Only);
    }
    return valid() && connectToLoopback(ipv6, port);
}

bool LoopbackSocket::listenOn(int port, bool allInterfaces) {
    const auto address = allInterfaces ? Address::kAnyIpv4 : Address::kLoopbackIpv4;
    return valid() && bindAndListen(address, port);
}

bool LoopbackSocket::listenOnIpv6Loopback(int port) {
    close();
    handle_ = openSocket(Address::kLoopbackIpv6Only);
    return valid() && bindAndListen(Address::kLoopbackIpv6Only, port);
}

LoopbackSocket LoopbackSocket::acceptOne(int timeoutMs) {
    if (!valid() || !waitReadable(timeoutMs)) return LoopbackSocket(kNoSocket);
    return LoopbackSocket(acceptSocket());
}

bool LoopbackSocket::sendAll(const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        const long n = sendNow(bytes.data() + sent, bytes.size() - sent);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

long LoopbackSocket::receiveSome(char* buffer, std::size_t size, int timeoutMs) {
    if (!valid() || !waitReadable(timeoutMs)) return 0;
    const long n = receiveNow(buffer, size);
    return n > 0 ? n : 0;
}

std::vector<LoopbackSocket> occupyPorts(int first, int count, bool allInterfaces) {
    std::vector<LoopbackSocket> busy(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (!busy[static_cast<std::size_t>(i)].listenOn(first + i, allInterfaces)) return {};
    }
    return busy;
}

std::string exchange(int port, const std::string& request, int timeoutMs) {
    LoopbackSocket socket;
    if (!socket.connectTo(port) || !socket.sendAll(request)) {
        return std::string();
    }
    return socket.receiveUntilClosed(timeoutMs);
}

std::string LoopbackSocket::receive(const std::string& marker, int timeoutMs, std::size_t limit) {
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[16384];
    while (received.size() < limit) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        const long n = left > 0 ? receiveSome(buffer, sizeof buffer, static_cast<int>(left)) : 0;
        if (n <= 0) {
            break;
        }
        received.append(buffer, static_cast<std::size_t>(n));
        if (!marker.empty() && received.find(marker) != std::string::npos) {
            break;
        }
    }
    return received;
}

std::string LoopbackSocket::receiveUntil(const std::string& marker, int timeoutMs) {
    return receive(marker, timeoutMs, std::string::npos);
}

std::string LoopbackSocket::receiveUntilClosed(int timeoutMs, std::size_t limit) {
    return receive(std::string(), timeoutMs, limit);
}

LoopbackSocket& LoopbackSocket::operator=(LoopbackSocket&& other) noexcept {
    if (this != &other) {
        close();  // leaves the platform's "no socket" value, which `other` takes
        std::swap(handle_, other.handle_);
    }
    return *this;
}

}  // namespace testing_support
