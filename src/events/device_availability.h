#pragma once

#include <mutex>
#include <optional>

#include "events/events.h"

// The device as forwards see it, told once per change instead of once per
// forward: a warning when forwards stop finding the device after one found
// it, an information event when one finds it again. Safe to use from every
// worker thread at once.
class DeviceAvailability {
  public:
    // What one forward saw of the device.
    enum class Sighting {
        kFound,     // a port identified the device (whatever it then answered)
        kNotFound,  // discovery ran and no port identified it
        kNotAsked,  // refused before discovery: says nothing of the device
    };

    // The event this forward's sighting calls for, if any.
    std::optional<EventId> observe(Sighting sighting);

  private:
    enum class State { kNeverFound, kFound, kLost };
    std::mutex mutex_;
    State state_ = State::kNeverFound;
};
