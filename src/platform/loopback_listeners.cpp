#include "platform/loopback_listeners.h"

#include "platform/loopback_listener_table.h"

namespace platform {

bool listLoopbackListeners(int firstPort, int lastPort, std::vector<LoopbackListener>& listeners) {
    std::map<int, LoopbackListener> ports;
    if (!readLoopbackListenerTable(firstPort, lastPort, ports)) {
        return false;
    }
    listeners.clear();
    for (const auto& [port, entry] : ports) {
        listeners.push_back(entry);
    }
    return true;
}

}  // namespace platform
