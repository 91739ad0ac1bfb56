#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <mstcpip.h>

#include "platform/loopback_listeners.h"

#include <cstring>
#include <map>

namespace platform {

namespace {

// The table may grow between asking for its size and reading it.
constexpr int kTableReads = 4;

// The listener table of one address family, as GetExtendedTcpTable fills it.
bool readTable(ULONG family, TCP_TABLE_CLASS tableClass, std::vector<char>& table) {
    DWORD size = 0;
    for (int attempt = 0; attempt < kTableReads; ++attempt) {
        table.resize(size == 0 ? 1 : size);
        const DWORD result = GetExtendedTcpTable(table.data(), &size, FALSE, family, tableClass, 0);
        if (result == NO_ERROR) {
            return true;
        }
        if (result != ERROR_INSUFFICIENT_BUFFER) {
            return false;
        }
    }
    return false;
}

int portOf(DWORD tablePort) { return ntohs(static_cast<u_short>(tablePort)); }

bool inRange(int port, int firstPort, int lastPort) {
    return port >= firstPort && port <= lastPort;
}

bool addIpv4(int firstPort, int lastPort, std::map<int, LoopbackListener>& ports) {
    std::vector<char> buffer;
    if (!readTable(AF_INET, TCP_TABLE_BASIC_LISTENER, buffer)) {
        return false;
    }
    const auto* table = reinterpret_cast<const MIB_TCPTABLE*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_TCPROW& row = table->table[i];
        const int port = portOf(row.dwLocalPort);
        const ULONG address = ntohl(row.dwLocalAddr);
        if (inRange(port, firstPort, lastPort) &&
            (address == INADDR_ANY || address == INADDR_LOOPBACK)) {
            ports[port].port = port;
            ports[port].ipv4 = true;
        }
    }
    return true;
}

bool addIpv6(int firstPort, int lastPort, std::map<int, LoopbackListener>& ports) {
    std::vector<char> buffer;
    if (!readTable(AF_INET6, TCP_TABLE_OWNER_PID_LISTENER, buffer)) {
        return false;
    }
    const auto* table = reinterpret_cast<const MIB_TCP6TABLE_OWNER_PID*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_TCP6ROW_OWNER_PID& row = table->table[i];
        const int port = portOf(row.dwLocalPort);
        in6_addr address;
        std::memcpy(&address, row.ucLocalAddr, sizeof address);
        if (inRange(port, firstPort, lastPort) &&
            (IN6_IS_ADDR_UNSPECIFIED(&address) || IN6_IS_ADDR_LOOPBACK(&address))) {
            ports[port].port = port;
            ports[port].ipv6 = true;
        }
    }
    return true;
}

}  // namespace

bool listLoopbackListeners(int firstPort, int lastPort, std::vector<LoopbackListener>& listeners) {
    std::map<int, LoopbackListener> ports;
    if (!addIpv4(firstPort, lastPort, ports) || !addIpv6(firstPort, lastPort, ports)) {
        return false;
    }
    listeners.clear();
    for (const auto& [port, entry] : ports) {
        listeners.push_back(entry);
    }
    return true;
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
