#include "platform/sock_diag_linux.h"

#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <sys/socket.h>

#include <cstring>

#include "platform/unique_fd_posix.h"

namespace platform {

namespace {

// Answers of one netlink request, read in pieces of this size.
constexpr std::size_t kReceiveBufferBytes = 32 * 1024;
// A listener table is short; more pieces than this is not a table.
constexpr int kMaxReceives = 256;

struct DiagRequest {
    nlmsghdr header;
    inet_diag_req_v2 request;
};

bool send(int fd, const inet_diag_req_v2& request, bool dump) {
    DiagRequest message;
    std::memset(&message, 0, sizeof message);
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = static_cast<__u16>(NLM_F_REQUEST | (dump ? NLM_F_DUMP : 0));
    message.request = request;
    sockaddr_nl kernel;
    std::memset(&kernel, 0, sizeof kernel);
    kernel.nl_family = AF_NETLINK;
    return ::sendto(fd, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel),
                    sizeof kernel) == static_cast<ssize_t>(sizeof message);
}

// A dump ends with NLMSG_DONE; an exact lookup answers one socket, no more.
bool receive(int fd, bool dump, const std::function<void(const inet_diag_msg&)>& onSocket) {
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
            onSocket(*static_cast<const inet_diag_msg*>(NLMSG_DATA(header)));
            if (!dump) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

bool querySocketTable(const inet_diag_req_v2& request, bool dump,
                      const std::function<void(const inet_diag_msg&)>& onSocket) {
    UniqueFd fd(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    return fd.get() >= 0 && send(fd.get(), request, dump) && receive(fd.get(), dump, onSocket);
}

}  // namespace platform
