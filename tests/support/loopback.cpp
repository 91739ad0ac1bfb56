#include "support/loopback.h"

#include <chrono>

#include "platform/net.h"

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

int freePort() {
    LoopbackSocket socket;
    socket.listenOn(0);
    return socket.localPort();
}

int freePortRange(int count, int from) {
    for (int base = from; base + count <= 65535; base += count) {
        bool allFree = true;
        for (int p = base; p < base + count && allFree; ++p) {
            allFree = platform::probeBindAllInterfaces(p).bindable;
        }
        if (allFree) {
            return base;
        }
    }
    return -1;
}

}  // namespace testing_support
