#include "platform/connection_owner.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>

#include <cstring>

#include "platform/sock_diag_linux.h"

namespace platform {

namespace {

// Fills one address of a socket id (network byte order); false when
// `address` is no numeric address of `family`.
bool putAddress(int family, const std::string& address, __be32 (&into)[4]) {
    std::memset(into, 0, sizeof into);
    return ::inet_pton(family, address.c_str(), into) == 1;
}

// A socket past its close (TIME_WAIT) is reported with uid 0: no owner at
// all, never root. A connected socket is in one of these states.
bool hasOwner(int state) {
    switch (state) {
        case TCP_ESTABLISHED:
        case TCP_FIN_WAIT1:
        case TCP_FIN_WAIT2:
        case TCP_CLOSE_WAIT:
        case TCP_LAST_ACK:
        case TCP_CLOSING:
            return true;
        default:
            return false;
    }
}

int familyOf(const std::string& address) {
    return address.find(':') == std::string::npos ? AF_INET : AF_INET6;
}

}  // namespace

AccountIdentity accountOfLoopbackPeer(const TcpEndpoint& local, const TcpEndpoint& remote) {
    const int family = familyOf(remote.address);
    inet_diag_req_v2 request;
    std::memset(&request, 0, sizeof request);
    request.sdiag_family = static_cast<__u8>(family);
    request.sdiag_protocol = IPPROTO_TCP;
    request.idiag_states = ~0U;
    // The caller's socket: its own end is what we see as remote.
    request.id.idiag_sport = htons(static_cast<std::uint16_t>(remote.port));
    request.id.idiag_dport = htons(static_cast<std::uint16_t>(local.port));
    request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    if (familyOf(local.address) != family ||
        !putAddress(family, remote.address, request.id.idiag_src) ||
        !putAddress(family, local.address, request.id.idiag_dst)) {
        return AccountIdentity{};
    }
    AccountIdentity account;
    querySocketTable(request, false, [&](const inet_diag_msg& socket) {
        if (hasOwner(socket.idiag_state)) {
            account = accountOfSocketOwner(socket.idiag_uid);
        }
    });
    return account;
}

}  // namespace platform
