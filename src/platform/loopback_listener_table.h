#pragma once

#include <map>

#include "platform/loopback_listeners.h"

namespace platform {

// The system's own reading of its listener table (one file per system):
// adds each listener of `firstPort`..`lastPort` that takes loopback
// connections to `ports`, by port; false when the system would not tell.
bool readLoopbackListenerTable(int firstPort, int lastPort, std::map<int, LoopbackListener>& ports);

}  // namespace platform
