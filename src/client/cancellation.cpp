#include "client/cancellation.h"

#include <utility>

void Cancellation::cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    for (auto& entry : wakers_) {
        entry.second();
    }
}

std::size_t Cancellation::subscribe(std::function<void()> wake) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_.load()) {
        wake();
    }
    const std::size_t id = nextId_++;
    wakers_.emplace(id, std::move(wake));
    return id;
}

void Cancellation::unsubscribe(std::size_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    wakers_.erase(id);
}
