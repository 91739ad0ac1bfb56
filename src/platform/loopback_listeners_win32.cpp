#include "platform/tcp_table_win32.h"

#include <mstcpip.h>

#include "platform/loopback_listener_table.h"
#include "platform/own_account_win32.h"

#include <cstring>

namespace platform {

namespace {

// What a listener's local address admits: every address, or loopback alone.
struct LocalAddress {
    bool wildcard;
    bool loopback;
};

LocalAddress localAddressOf(const MIB_TCPROW_OWNER_PID& row) {
    const ULONG address = ntohl(row.dwLocalAddr);
    return {address == INADDR_ANY, address == INADDR_LOOPBACK};
}

LocalAddress localAddressOf(const MIB_TCP6ROW_OWNER_PID& row) {
    in6_addr address;
    std::memcpy(&address, row.ucLocalAddr, sizeof address);
    return {IN6_IS_ADDR_UNSPECIFIED(&address) != 0, IN6_IS_ADDR_LOOPBACK(&address) != 0};
}

// Adds the listening sockets of one family's table that are in the range and
// take connections to the family's loopback address.
template <typename Table>
bool addListeners(int family, int firstPort, int lastPort, std::vector<ListenerSocket>& sockets) {
    std::vector<char> buffer;
    if (!readTcpTable(family, TCP_TABLE_OWNER_PID_LISTENER, buffer)) {
        return false;
    }
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const auto& row = table->table[i];
        const LocalAddress address = localAddressOf(row);
        const int port = ntohs(static_cast<u_short>(row.dwLocalPort));
        if ((address.wildcard || address.loopback) && port >= firstPort && port <= lastPort) {
            sockets.push_back(
                ListenerSocket{port, family == AF_INET6, address.wildcard, row.dwOwningPid});
        }
    }
    return true;
}

}  // namespace

bool readLoopbackListenerTable(int firstPort, int lastPort, std::vector<ListenerSocket>& sockets) {
    return addListeners<MIB_TCPTABLE_OWNER_PID>(AF_INET, firstPort, lastPort, sockets) &&
           addListeners<MIB_TCP6TABLE_OWNER_PID>(AF_INET6, firstPort, lastPort, sockets);
}

bool listLoopbackListenersIfCheap(int firstPort, int lastPort,
                                  std::vector<LoopbackListener>& listeners) {
    return !runningUnderWine() && listLoopbackListeners(firstPort, lastPort, listeners);
}

int failLoopbackConnectFast(std::uintptr_t socket) {
    TCP_INITIAL_RTO_PARAMETERS parameters;
    parameters.Rtt = TCP_INITIAL_RTO_UNSPECIFIED_RTT;
    parameters.MaxSynRetransmissions = TCP_INITIAL_RTO_NO_SYN_RETRANSMISSIONS;
    DWORD returned = 0;
    if (WSAIoctl(static_cast<SOCKET>(socket), SIO_TCP_INITIAL_RTO, &parameters, sizeof parameters,
                 nullptr, 0, &returned, nullptr, nullptr) != 0) {
        return WSAGetLastError();
    }
    return 0;
}

}  // namespace platform
