#pragma once

#include <cstdint>
#include <vector>

#include "platform/loopback_listeners.h"

namespace platform {

// One listening socket of the system's table.
struct ListenerSocket {
    int port = 0;
    bool ipv6 = false;
    // Bound to every address of its family rather than to the loopback one,
    // which would take the loopback connections before it.
    bool wildcard = false;
    // Its owner as accountOfSocketOwner takes it (a uid, a process id).
    std::uint32_t owner = 0;
};

// The system's own reading of its listener table (one file per system):
// adds each listening socket of `firstPort`..`lastPort` that takes loopback
// connections to `sockets`; false when the system would not tell.
bool readLoopbackListenerTable(int firstPort, int lastPort, std::vector<ListenerSocket>& sockets);

}  // namespace platform
