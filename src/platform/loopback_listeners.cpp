#include "platform/loopback_listeners.h"

#include <map>

#include "platform/loopback_listener_table.h"

namespace platform {

namespace {

// Whether `candidate` takes the connections discovery makes to its port
// before `current` does: IPv4 before IPv6, the loopback address before the
// wildcard.
bool reachedFirst(const ListenerSocket& candidate, const ListenerSocket& current) {
    if (candidate.ipv6 != current.ipv6) {
        return !candidate.ipv6;
    }
    return !candidate.wildcard && current.wildcard;
}

}  // namespace

bool listLoopbackListeners(int firstPort, int lastPort, std::vector<LoopbackListener>& listeners) {
    std::vector<ListenerSocket> sockets;
    if (!readLoopbackListenerTable(firstPort, lastPort, sockets)) {
        return false;
    }
    std::map<int, const ListenerSocket*> reached;
    std::map<int, LoopbackListener> ports;
    for (const ListenerSocket& socket : sockets) {
        LoopbackListener& entry = ports[socket.port];
        entry.port = socket.port;
        (socket.ipv6 ? entry.ipv6 : entry.ipv4) = true;
        const ListenerSocket*& first = reached[socket.port];
        if (first == nullptr || reachedFirst(socket, *first)) {
            first = &socket;
        }
    }
    // One owner is often behind several ports: ask the system once each.
    std::map<std::uint32_t, AccountIdentity> accounts;
    listeners.clear();
    for (auto& [port, entry] : ports) {
        const std::uint32_t owner = reached[port]->owner;
        if (accounts.count(owner) == 0) {
            accounts[owner] = accountOfSocketOwner(owner);
        }
        entry.owner = accounts[owner];
        listeners.push_back(entry);
    }
    return true;
}

}  // namespace platform
