#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>

// A stop for upstream transfers: once cancelled, every running transfer that
// watches it ends at once and new ones fail without connecting. There is no
// way back. Safe to use from any number of threads.
class Cancellation {
  public:
    void cancel();
    bool cancelled() const { return cancelled_.load(); }

    // Runs `wake` on cancel (at once when already cancelled); keep the id to
    // unsubscribe before whatever `wake` touches goes away.
    std::size_t subscribe(std::function<void()> wake);
    void unsubscribe(std::size_t id);

  private:
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    std::map<std::size_t, std::function<void()>> wakers_;
    std::size_t nextId_ = 0;
};
