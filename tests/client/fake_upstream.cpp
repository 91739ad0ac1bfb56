#include "client/fake_upstream.h"

#include "support/scripted_upstream.h"

#include <optional>

namespace client_test {
namespace {

using testing_support::LoopbackSocket;

constexpr int kSliceMs = 100;
constexpr int kAcceptSlices = 100;
constexpr int kReceiveMs = 10000;

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
    request_ = testing_support::receiveHttpRequest(connection, kReceiveMs);
}

}  // namespace client_test
