#include "platform/stop_event.h"

namespace platform {

void StopEvent::request() {
    requested_ = true;
    notifyWakeup();
}

void StopEvent::waitRequested() {
    while (!requested_.load()) {
        waitWakeup(-1);
    }
}

void StopEvent::acknowledge() {
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = false;
    acknowledged_.notify_all();
}

void StopEvent::waitAcknowledged() {
    std::unique_lock<std::mutex> lock(mutex_);
    acknowledged_.wait(lock, [this] { return !requested_.load() || finished_; });
}

void StopEvent::finished() {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    acknowledged_.notify_all();
}

}  // namespace platform
