#include "platform/loopback_listener_table.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>

#include <cstring>

#include "platform/sock_diag_linux.h"

namespace platform {

namespace {

bool isWildcard(const inet_diag_msg& socket) {
    if (socket.idiag_family == AF_INET) {
        return ntohl(socket.id.idiag_src[0]) == INADDR_ANY;
    }
    in6_addr address;
    std::memcpy(&address, socket.id.idiag_src, sizeof address);
    return IN6_IS_ADDR_UNSPECIFIED(&address);
}

bool isLoopback(const inet_diag_msg& socket) {
    if (socket.idiag_family == AF_INET) {
        return ntohl(socket.id.idiag_src[0]) == INADDR_LOOPBACK;
    }
    in6_addr address;
    std::memcpy(&address, socket.id.idiag_src, sizeof address);
    return IN6_IS_ADDR_LOOPBACK(&address);
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
            const bool wildcard = isWildcard(socket);
            if (port >= firstPort && port <= lastPort && (wildcard || isLoopback(socket))) {
                sockets.push_back(ListenerSocket{port, socket.idiag_family == AF_INET6, wildcard,
                                                 socket.idiag_uid});
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
