#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace platform {

// A stop request with its acknowledgement, waited for as events: the waiter
// of a request wakes as soon as it is made, the requester as soon as it is
// acknowledged. request() is async-signal-safe (a signal handler may call
// it); everything else is for ordinary threads. One waiter for requests at
// a time; any number of threads may wait for the acknowledgement.
class StopEvent {
  public:
    StopEvent();
    ~StopEvent();
    StopEvent(const StopEvent&) = delete;
    StopEvent& operator=(const StopEvent&) = delete;

    // Marks a stop as requested and wakes the waiter.
    void request();
    bool requested() const { return requested_.load(); }
    // Blocks until a stop is requested.
    void waitRequested();

    // Clears the request: the stop is done. Wakes waitAcknowledged.
    void acknowledge();
    // Blocks while a request is pending, or until `finished` is called.
    void waitAcknowledged();
    // Nobody will acknowledge any more (the stopping side has ended):
    // waitAcknowledged returns at once from now on.
    void finished();

  private:
    // One async-signal-safe wake-up channel, defined per system (a pipe, or
    // an event object); the constructor and destructor live beside it.
    struct Wakeup;
    void notifyWakeup();
    // Waits for a notification; -1 = no limit. True when one arrived.
    bool waitWakeup(int timeoutMs);

    std::atomic<bool> requested_{false};
    std::unique_ptr<Wakeup> wakeup_;
    std::mutex mutex_;
    std::condition_variable acknowledged_;
    bool finished_ = false;
};

}  // namespace platform
