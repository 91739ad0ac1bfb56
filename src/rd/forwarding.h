#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <utility>

#include "client/byte_budget.h"
#include "client/cancellation.h"
#include "client/kept_handles.h"
#include "config/allowed_origins.h"
#include "config/data_directory.h"
#include "http/request_body_limit.h"
#include "http/web_server_startup.h"
#include "rd/upstream.h"

// All request bodies and upstream answers in flight together buffer at most
// this much; a forward that would pass it is refused.
constexpr std::size_t kForwardBufferBudgetBytes = 64 * 1024 * 1024;

// What a deployment or a test may vary in how requests are forwarded.
struct ForwardingOptions {
    // The data folder's base (DeviceConfig.xml), or empty for the machine's own.
    std::string dataBaseFolder;
    DiscoveryOptions discovery;
    std::size_t maxRequestBodyBytes = kMaxRequestBodyBytes;
    std::size_t bufferBudgetBytes = kForwardBufferBudgetBytes;
    // Forwards that may wait on the upstream at once: every engine worker
    // but the reserve kept for answers of our own (discovery, preflights,
    // refusals), so a device holding requests never starves those.
    int maxConcurrentForwards = kEngineWorkerThreads - kQuickAnswerWorkers;
    // Who may call; unrestricted by default.
    AllowedOrigins allowedOrigins;
};

// What the forwarded requests of one handler share: their options, the stop
// that ends their upstream transfers, how many are in flight and the buffer
// budget. Safe to use from every worker thread at once.
struct ForwardingState {
    explicit ForwardingState(ForwardingOptions forwardingOptions)
        : options(std::move(forwardingOptions)), budget(options.bufferBudgetBytes) {}

    const ForwardingOptions options;
    Cancellation stop;
    // The transfer handles of finished forwards, for the next ones.
    HandlePool handles;
    ByteBudget budget;
    std::atomic<int> inFlight{0};
    std::mutex mutex;
    std::condition_variable drained;

    DataDirectory dataDirectory() const {
        return options.dataBaseFolder.empty() ? DataDirectory()
                                              : DataDirectory(options.dataBaseFolder);
    }

    // Cancels every forward and waits, at most `limit`, until each has
    // answered its client: the engine writes nothing once it is stopping.
    void stopAndDrain(std::chrono::milliseconds limit) {
        stop.cancel();
        std::unique_lock<std::mutex> lock(mutex);
        drained.wait_for(lock, limit, [this] { return inFlight.load() == 0; });
    }
};

// Holds one of the places for forwards for the life of a forward.
class ForwardSlot {
  public:
    explicit ForwardSlot(ForwardingState& state)
        : state_(state), held_(state.inFlight.fetch_add(1) < state.options.maxConcurrentForwards) {}
    ~ForwardSlot() {
        std::lock_guard<std::mutex> lock(state_.mutex);
        state_.inFlight.fetch_sub(1);
        state_.drained.notify_all();
    }
    ForwardSlot(const ForwardSlot&) = delete;
    ForwardSlot& operator=(const ForwardSlot&) = delete;

    bool held() const { return held_; }

  private:
    ForwardingState& state_;
    bool held_;
};
