#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "client/cancellation.h"
#include "config/data_directory.h"

// At most this many forwarded requests wait on the upstream at once; beyond
// it a forward is answered RDSERVICE_NOT_AVAILABLE at once, so requests held
// by the device can never take every worker from discovery.
constexpr int kMaxConcurrentForwards = 32;

// What the forwarded requests of one handler share: where the device model
// is read, the stop that ends their upstream transfers, and how many are in
// flight. Safe to use from every worker thread at once.
struct ForwardingState {
    // The data folder's base, or empty for the machine's own.
    std::string dataBaseFolder;
    Cancellation stop;
    std::atomic<int> inFlight{0};
    std::mutex mutex;
    std::condition_variable drained;

    DataDirectory dataDirectory() const {
        return dataBaseFolder.empty() ? DataDirectory() : DataDirectory(dataBaseFolder);
    }

    // Cancels every forward and waits, at most `limit`, until each has
    // answered its client: the engine writes nothing once it is stopping.
    void stopAndDrain(std::chrono::milliseconds limit) {
        stop.cancel();
        std::unique_lock<std::mutex> lock(mutex);
        drained.wait_for(lock, limit, [this] { return inFlight.load() == 0; });
    }
};

// Holds one of the kMaxConcurrentForwards places for the life of a forward.
class ForwardSlot {
  public:
    explicit ForwardSlot(ForwardingState& state)
        : state_(state), held_(state.inFlight.fetch_add(1) < kMaxConcurrentForwards) {}
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
