#include "events/device_availability.h"

std::optional<EventId> DeviceAvailability::observe(Sighting sighting) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (sighting == Sighting::kFound) {
        const bool wasLost = state_ == State::kLost;
        state_ = State::kFound;
        if (wasLost) return EventId::kDeviceFoundAgain;
    } else if (sighting == Sighting::kNotFound && state_ == State::kFound) {
        state_ = State::kLost;
        return EventId::kDeviceLost;
    }
    return std::nullopt;
}
