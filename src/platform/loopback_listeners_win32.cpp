#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <mstcpip.h>

#include "platform/loopback_listener_table.h"

#include <cstring>
#include <map>

namespace platform {

namespace {

// Room for a few hundred listeners, so that one read is the rule; a longer
// table is read again at its size, which may grow in between.
constexpr DWORD kFirstReadBytes = 16 * 1024;
constexpr int kTableReads = 4;

// The listener table of one address family, as GetExtendedTcpTable fills it.
bool readTable(ULONG family, TCP_TABLE_CLASS tableClass, std::vector<char>& table) {
    DWORD size = kFirstReadBytes;
    for (int attempt = 0; attempt < kTableReads; ++attempt) {
        table.resize(size);
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

// Notes a listener of the table in `ports` when it is in the range and
// takes connections to the family's loopback address.
void note(DWORD tablePort, bool servesLoopback, bool LoopbackListener::*family, int firstPort,
          int lastPort, std::map<int, LoopbackListener>& ports) {
    const int port = ntohs(static_cast<u_short>(tablePort));
    if (servesLoopback && port >= firstPort && port <= lastPort) {
        ports[port].port = port;
        ports[port].*family = true;
    }
}

bool addIpv4(int firstPort, int lastPort, std::map<int, LoopbackListener>& ports) {
    std::vector<char> buffer;
    if (!readTable(AF_INET, TCP_TABLE_BASIC_LISTENER, buffer)) {
        return false;
    }
    const auto* table = reinterpret_cast<const MIB_TCPTABLE*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const ULONG address = ntohl(table->table[i].dwLocalAddr);
        note(table->table[i].dwLocalPort, address == INADDR_ANY || address == INADDR_LOOPBACK,
             &LoopbackListener::ipv4, firstPort, lastPort, ports);
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
        in6_addr address;
        std::memcpy(&address, table->table[i].ucLocalAddr, sizeof address);
        note(table->table[i].dwLocalPort,
             IN6_IS_ADDR_UNSPECIFIED(&address) || IN6_IS_ADDR_LOOPBACK(&address),
             &LoopbackListener::ipv6, firstPort, lastPort, ports);
    }
    return true;
}

}  // namespace

bool readLoopbackListenerTable(int firstPort, int lastPort,
                               std::map<int, LoopbackListener>& ports) {
    return addIpv4(firstPort, lastPort, ports) && addIpv6(firstPort, lastPort, ports);
}

bool listLoopbackListenersIfCheap(int firstPort, int lastPort,
                                  std::vector<LoopbackListener>& listeners) {
    static const bool underWine =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return !underWine && listLoopbackListeners(firstPort, lastPort, listeners);
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
