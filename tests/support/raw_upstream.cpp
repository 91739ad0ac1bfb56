#include "support/raw_upstream.h"

#include <chrono>
#include <limits>

#include "platform/clock.h"
#include "support/rd_answer.h"
#include "support/scripted_upstream.h"

namespace testing_support {
namespace {

// The longest wait for a request, and for a connection between two stops'
// checks: a stop wakes the acceptor with a connection of its own.
constexpr int kReceiveMs = 10000;

}  // namespace

void Stopping::request() {
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = true;
    set_.notify_all();
}

bool Stopping::waitFor(int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return set_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return requested_; });
}

RawUpstream::RawUpstream(int port, Script script, bool ipv6)
    : script_(std::move(script)), ipv6_(ipv6) {
    if (ipv6 ? listener_.listenOnIpv6Loopback(port) : listener_.listenOn(port, false)) {
        port_ = listener_.localPort();
    }
    acceptor_ = std::thread([this] { acceptLoop(); });
}

RawUpstream::~RawUpstream() {
    stopping_.request();
    if (listening()) LoopbackSocket().connectTo(port_, ipv6_);
    acceptor_.join();
    for (std::thread& connection : connections_) {
        connection.join();
    }
}

std::string RawUpstream::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string RawUpstream::firstRequest() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.empty() ? std::string() : requests_.front();
}

std::vector<std::string> RawUpstream::requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

int RawUpstream::countLocked(const std::string& method) const {
    int n = 0;
    for (const std::string& request : requests_) {
        n += requestMethod(request) == method ? 1 : 0;
    }
    return n;
}

int RawUpstream::count(const std::string& method) {
    std::lock_guard<std::mutex> lock(mutex_);
    return countLocked(method);
}

bool RawUpstream::waitForRequests(const std::string& method, int n, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return countLocked(method) >= n; });
}

void RawUpstream::acceptLoop() {
    while (!stopping_.requested() && listening()) {
        LoopbackSocket accepted = listener_.acceptOne(kReceiveMs);
        if (!accepted.valid() || stopping_.requested()) {
            continue;
        }
        connections_.emplace_back([this, connection = std::move(accepted)]() mutable {
            const std::string request = receiveHttpRequest(connection, kReceiveMs);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(request);
            }
            arrived_.notify_all();
            script_(connection, request, stopping_);
        });
    }
}

void hangScript(LoopbackSocket&, const std::string&, const Stopping& stopping) {
    stopping.waitFor(std::numeric_limits<int>::max());
}

RawUpstream::Script trickleScript(int intervalMs) {
    return [intervalMs](LoopbackSocket& connection, const std::string&, const Stopping& stopping) {
        const std::string line = "HTTP/1.1 200 OK\r\nX-Slow: ";
        for (std::size_t sent = 0; !stopping.requested(); ++sent) {
            if (!connection.sendAll(sent < line.size() ? line.substr(sent, 1) : "x")) {
                return;
            }
            stopping.waitFor(intervalMs);
        }
    };
}

RawUpstream::Script deviceScript(RawUpstream::Script other) {
    return
        [other](LoopbackSocket& connection, const std::string& request, const Stopping& stopping) {
            if (requestMethod(request) != "RDSERVICE") {
                other(connection, request, stopping);
                return;
            }
            connection.sendAll(httpAnswer(
                deviceRdServiceDocument("<Interface id=\"DEVICEINFO\" path=\"/rd/info\" />")));
        };
}

void endlessBodyScript(LoopbackSocket& connection, const std::string&, const Stopping& stopping) {
    constexpr std::size_t kBlock = 64 * 1024;
    constexpr std::size_t kBound = 256u * 1024 * 1024;
    if (!connection.sendAll("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n\r\n")) {
        return;
    }
    const std::string block(kBlock, 'x');
    for (std::size_t sent = 0; sent < kBound && !stopping.requested(); sent += kBlock) {
        if (!connection.sendAll(block)) {
            return;  // the extension gave up on us: what we want
        }
    }
}

bool eventually(const std::function<bool()>& condition, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (condition()) {
            return true;
        }
        platform::sleepMs(10);
    }
    return condition();
}

}  // namespace testing_support
