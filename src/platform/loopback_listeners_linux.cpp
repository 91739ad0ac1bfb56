#include "platform/loopback_listener_table.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>

#include <cstring>

#include "platform/sock_diag_linux.h"

namespace platform {

namespace {

// Whether a listener's local address is its family's wildcard, and whether
// it is its family's loopback address.
struct LocalAddress {
    bool wildcard;
    bool loopback;
};

LocalAddress localAddressOf(const inet_diag_msg& socket) {
    if (socket.idiag_family == AF_INET) {
        const std::uint32_t address = ntohl(socket.id.idiag_src[0]);
        return {address == INADDR_ANY, address == INADDR_LOOPBACK};
    }
    in6_addr address;
    std::memcpy(&address, socket.id.idiag_src, sizeof address);
    return {IN6_IS_ADDR_UNSPECIFIED(&address) != 0, IN6_IS_ADDR_LOOPBACK(&address) != 0};
}

}  // namespace

bool readLoopbackListenerTable(int firstPort, int lastPort, std::vector<ListenerSocket>& sockets) {
    for (int family : {AF_INET, AF_INET6}) {
        inet_diag_req_v2 request;
        std::memset(&request, 0, sizeof request);
        request.sdiag_family = static_cast<__u8>(family);
        request.sdiag_protocol = IPPROTO_TCP;
        // Listening sockets only: the kernel then never walks the connections.
        request.idiag_states = 1U << TCP_LISTEN;
        const bool read = querySocketTable(request, true, [&](const inet_diag_msg& socket) {
            const int port = ntohs(socket.id.idiag_sport);
            const LocalAddress address = localAddressOf(socket);
            if (port >= firstPort && port <= lastPort && (address.wildcard || address.loopback)) {
                sockets.push_back(ListenerSocket{port, socket.idiag_family == AF_INET6,
                                                 address.wildcard, socket.idiag_uid});
            }
        });
        if (!read) {
            return false;
        }
    }
    return true;
}

bool listLoopbackListenersIfCheap(int firstPort, int lastPort,
                                  std::vector<LoopbackListener>& listeners) {
    return listLoopbackListeners(firstPort, lastPort, listeners);  // a few tens of us
}

int failLoopbackConnectFast(std::uintptr_t) { return 0; }

}  // namespace platform
