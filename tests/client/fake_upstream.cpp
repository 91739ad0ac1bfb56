#include "client/fake_upstream.h"

#include <cstdlib>
#include <optional>

namespace client_test {
namespace {

using testing_support::LoopbackSocket;

constexpr int kSliceMs = 100;
constexpr int kAcceptSlices = 100;
constexpr int kReceiveMs = 10000;
const char* const kHeadEnd = "\r\n\r\n";

std::optional<LoopbackSocket> acceptUnlessStopped(LoopbackSocket& listener,
                                                  const std::atomic<bool>& stop) {
    for (int slice = 0; slice < kAcceptSlices && !stop; ++slice) {
        LoopbackSocket connection = listener.acceptOne(kSliceMs);
        if (connection.valid()) {
            return std::optional<LoopbackSocket>(std::move(connection));
        }
    }
    return std::nullopt;
}

std::size_t contentLength(const std::string& head) {
    const std::string field = "\r\nContent-Length: ";
    const std::size_t at = head.find(field);
    return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + field.size(), nullptr, 10);
}

}  // namespace

FakeUpstream::FakeUpstream(std::string response, Behaviour behaviour)
    : response_(std::move(response)), behaviour_(behaviour) {
    if (listener_.listenOn(0, false)) {
        port_ = listener_.localPort();
    }
    thread_ = std::thread([this] { serve(); });
}

FakeUpstream::~FakeUpstream() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::string FakeUpstream::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string FakeUpstream::request() {
    if (thread_.joinable()) {
        thread_.join();
    }
    return request_;
}

void FakeUpstream::serve() {
    std::optional<LoopbackSocket> connection = acceptUnlessStopped(listener_, stop_);
    if (!connection) {
        return;
    }
    record(*connection);
    if (behaviour_ == Behaviour::kAnswer) {
        connection->sendAll(response_);
    } else {
        connection->receiveUntilClosed(kReceiveMs);
    }
}

void FakeUpstream::record(LoopbackSocket& connection) {
    request_ = connection.receiveUntil(kHeadEnd, kReceiveMs);
    const std::size_t headEnd = request_.find(kHeadEnd);
    if (headEnd == std::string::npos) {
        return;
    }
    const std::string head = request_.substr(0, headEnd + 4);
    if (head.find("\r\nExpect: 100-continue\r\n") != std::string::npos) {
        connection.sendAll("HTTP/1.1 100 Continue\r\n\r\n");
    }
    const std::size_t total = head.size() + contentLength(head);
    while (request_.size() < total) {
        const std::string more = connection.receiveUntilClosed(kReceiveMs, total - request_.size());
        if (more.empty()) {
            break;
        }
        request_ += more;
    }
}

}  // namespace client_test
