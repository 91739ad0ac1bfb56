#include "platform/tcp_table_win32.h"

#include "platform/connection_owner.h"

#include <cstring>

namespace platform {

namespace {

u_short tablePort(int port) { return htons(static_cast<u_short>(port)); }

// Whether a row's addresses are these, in the table's own byte order.
bool sameAddresses(const MIB_TCPROW_OWNER_PID& row, const in_addr& local, const in_addr& remote) {
    return row.dwLocalAddr == local.s_addr && row.dwRemoteAddr == remote.s_addr;
}

bool sameAddresses(const MIB_TCP6ROW_OWNER_PID& row, const in6_addr& local,
                   const in6_addr& remote) {
    return std::memcmp(row.ucLocalAddr, &local, sizeof local) == 0 &&
           std::memcmp(row.ucRemoteAddr, &remote, sizeof remote) == 0;
}

// The owning process of the caller's socket in one family's connection table:
// the row whose local end is the caller's remote end, and the other way round.
template <typename Table, typename Address>
bool findOwner(int family, const TcpEndpoint& local, const TcpEndpoint& remote, DWORD& owner) {
    Address localAddress;
    Address remoteAddress;
    std::vector<char> buffer;
    if (inet_pton(family, local.address.c_str(), &localAddress) != 1 ||
        inet_pton(family, remote.address.c_str(), &remoteAddress) != 1 ||
        !readTcpTable(family, TCP_TABLE_OWNER_PID_CONNECTIONS, buffer)) {
        return false;
    }
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const auto& row = table->table[i];
        if (sameAddresses(row, remoteAddress, localAddress) &&
            static_cast<u_short>(row.dwLocalPort) == tablePort(remote.port) &&
            static_cast<u_short>(row.dwRemotePort) == tablePort(local.port)) {
            owner = row.dwOwningPid;
            return true;
        }
    }
    return false;
}

}  // namespace

AccountIdentity accountOfLoopbackPeer(const TcpEndpoint& local, const TcpEndpoint& remote) {
    DWORD owner = 0;
    const bool found =
        remote.address.find(':') == std::string::npos
            ? findOwner<MIB_TCPTABLE_OWNER_PID, in_addr>(AF_INET, local, remote, owner)
            : findOwner<MIB_TCP6TABLE_OWNER_PID, in6_addr>(AF_INET6, local, remote, owner);
    return found ? accountOfSocketOwner(owner) : AccountIdentity{};
}

}  // namespace platform
