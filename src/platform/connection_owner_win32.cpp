#include "platform/tcp_table_win32.h"

#include "platform/connection_owner.h"

#include <cstring>

namespace platform {

namespace {

u_short tablePort(int port) { return htons(static_cast<u_short>(port)); }

// The owning process of the caller's socket in the IPv4 connection table.
bool ownerIpv4(const TcpEndpoint& local, const TcpEndpoint& remote, DWORD& owner) {
    in_addr localAddress;
    in_addr remoteAddress;
    std::vector<char> buffer;
    if (inet_pton(AF_INET, local.address.c_str(), &localAddress) != 1 ||
        inet_pton(AF_INET, remote.address.c_str(), &remoteAddress) != 1 ||
        !readTcpTable(AF_INET, TCP_TABLE_OWNER_PID_CONNECTIONS, buffer)) {
        return false;
    }
    const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_TCPROW_OWNER_PID& row = table->table[i];
        if (row.dwLocalAddr == remoteAddress.s_addr &&
            static_cast<u_short>(row.dwLocalPort) == tablePort(remote.port) &&
            row.dwRemoteAddr == localAddress.s_addr &&
            static_cast<u_short>(row.dwRemotePort) == tablePort(local.port)) {
            owner = row.dwOwningPid;
            return true;
        }
    }
    return false;
}

bool ownerIpv6(const TcpEndpoint& local, const TcpEndpoint& remote, DWORD& owner) {
    in6_addr localAddress;
    in6_addr remoteAddress;
    std::vector<char> buffer;
    if (inet_pton(AF_INET6, local.address.c_str(), &localAddress) != 1 ||
        inet_pton(AF_INET6, remote.address.c_str(), &remoteAddress) != 1 ||
        !readTcpTable(AF_INET6, TCP_TABLE_OWNER_PID_CONNECTIONS, buffer)) {
        return false;
    }
    const auto* table = reinterpret_cast<const MIB_TCP6TABLE_OWNER_PID*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_TCP6ROW_OWNER_PID& row = table->table[i];
        if (std::memcmp(row.ucLocalAddr, &remoteAddress, sizeof remoteAddress) == 0 &&
            static_cast<u_short>(row.dwLocalPort) == tablePort(remote.port) &&
            std::memcmp(row.ucRemoteAddr, &localAddress, sizeof localAddress) == 0 &&
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
    const bool found = remote.address.find(':') == std::string::npos
                           ? ownerIpv4(local, remote, owner)
                           : ownerIpv6(local, remote, owner);
    return found ? accountOfSocketOwner(owner) : AccountIdentity{};
}

}  // namespace platform
