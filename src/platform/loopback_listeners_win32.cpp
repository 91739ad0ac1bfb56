#include "platform/tcp_table_win32.h"

#include <mstcpip.h>

#include "platform/loopback_listener_table.h"
#include "platform/own_account_win32.h"

#include <cstring>

namespace platform {

namespace {

// Notes a listening socket of the table in `sockets` when it is in the range
// and takes connections to its family's loopback address.
void note(DWORD tablePort, bool wildcard, bool loopback, bool ipv6, DWORD owner, int firstPort,
          int lastPort, std::vector<ListenerSocket>& sockets) {
    const int port = ntohs(static_cast<u_short>(tablePort));
    if ((wildcard || loopback) && port >= firstPort && port <= lastPort) {
        sockets.push_back(ListenerSocket{port, ipv6, wildcard, owner});
    }
}

bool addIpv4(int firstPort, int lastPort, std::vector<ListenerSocket>& sockets) {
    std::vector<char> buffer;
    if (!readTcpTable(AF_INET, TCP_TABLE_OWNER_PID_LISTENER, buffer)) {
        return false;
    }
    const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const ULONG address = ntohl(table->table[i].dwLocalAddr);
        note(table->table[i].dwLocalPort, address == INADDR_ANY, address == INADDR_LOOPBACK, false,
             table->table[i].dwOwningPid, firstPort, lastPort, sockets);
    }
    return true;
}

bool addIpv6(int firstPort, int lastPort, std::vector<ListenerSocket>& sockets) {
    std::vector<char> buffer;
    if (!readTcpTable(AF_INET6, TCP_TABLE_OWNER_PID_LISTENER, buffer)) {
        return false;
    }
    const auto* table = reinterpret_cast<const MIB_TCP6TABLE_OWNER_PID*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        in6_addr address;
        std::memcpy(&address, table->table[i].ucLocalAddr, sizeof address);
        note(table->table[i].dwLocalPort, IN6_IS_ADDR_UNSPECIFIED(&address),
             IN6_IS_ADDR_LOOPBACK(&address), true, table->table[i].dwOwningPid, firstPort, lastPort,
             sockets);
    }
    return true;
}

}  // namespace

bool readLoopbackListenerTable(int firstPort, int lastPort, std::vector<ListenerSocket>& sockets) {
    return addIpv4(firstPort, lastPort, sockets) && addIpv6(firstPort, lastPort, sockets);
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
