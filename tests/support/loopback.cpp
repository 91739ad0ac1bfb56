#include "support/loopback.h"

#include <chrono>
#include <utility>

namespace testing_support {

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
