#include "platform/loopback_listener_table.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cstring>
#include <map>

#include "platform/unique_fd_posix.h"

namespace platform {

namespace {

// Answers of one netlink dump, read in pieces of this size.
constexpr std::size_t kReceiveBufferBytes = 32 * 1024;
// A listener table is short; more pieces than this is not a table.
constexpr int kMaxReceives = 256;

struct DiagRequest {
    nlmsghdr header;
    inet_diag_req_v2 request;
};

bool sendListenerDump(int fd, int family) {
    DiagRequest message;
    std::memset(&message, 0, sizeof message);
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.request.sdiag_family = static_cast<__u8>(family);
    message.request.sdiag_protocol = IPPROTO_TCP;
    // Listening sockets only: the kernel then never walks the connections.
    message.request.idiag_states = 1U << TCP_LISTEN;
    sockaddr_nl kernel;
    std::memset(&kernel, 0, sizeof kernel);
    kernel.nl_family = AF_NETLINK;
    return ::sendto(fd, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel),
                    sizeof kernel) == static_cast<ssize_t>(sizeof message);
}

// True when a listener on this local address takes connections to the
// family's loopback address.
bool servesLoopback(const inet_diag_msg& socket) {
    if (socket.idiag_family == AF_INET) {
        const std::uint32_t address = ntohl(socket.id.idiag_src[0]);
        return address == INADDR_ANY || address == INADDR_LOOPBACK;
    }
    in6_addr address;
    std::memcpy(&address, socket.id.idiag_src, sizeof address);
    return IN6_IS_ADDR_UNSPECIFIED(&address) || IN6_IS_ADDR_LOOPBACK(&address);
}

// Reads the dump's answers into `ports`; false when it ends in an error.
bool readListenerDump(int fd, int firstPort, int lastPort, std::map<int, LoopbackListener>& ports) {
    alignas(nlmsghdr) char buffer[kReceiveBufferBytes];
    for (int round = 0; round < kMaxReceives; ++round) {
        const ssize_t received = ::recv(fd, buffer, sizeof buffer, 0);
        if (received <= 0) {
            return false;
        }
        int left = static_cast<int>(received);
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(header, left);
             header = NLMSG_NEXT(header, left)) {
            if (header->nlmsg_type == NLMSG_DONE) {
                return true;
            }
            if (header->nlmsg_type == NLMSG_ERROR) {
                return false;
            }
            const auto* socket = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
            const int port = ntohs(socket->id.idiag_sport);
            if (port < firstPort || port > lastPort || !servesLoopback(*socket)) {
                continue;
            }
            LoopbackListener& entry = ports[port];
            entry.port = port;
            (socket->idiag_family == AF_INET ? entry.ipv4 : entry.ipv6) = true;
        }
    }
    return false;
}

}  // namespace

bool readLoopbackListenerTable(int firstPort, int lastPort,
                               std::map<int, LoopbackListener>& ports) {
    UniqueFd fd(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    if (fd.get() < 0) {
        return false;
    }
    for (int family : {AF_INET, AF_INET6}) {
        if (!sendListenerDump(fd.get(), family) ||
            !readListenerDump(fd.get(), firstPort, lastPort, ports)) {
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
