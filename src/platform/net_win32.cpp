#include <winsock2.h>

#include "platform/net.h"

#include <cstring>

namespace platform {

const char* reservedPortsCommand() { return "netsh int ipv4 show excludedportrange protocol=tcp"; }

namespace {

// A loopback listener answers a connect at once; a reserved port has none.
constexpr long kListenerAnswerUs = 500 * 1000;

sockaddr_in ipv4Address(ULONG host, int port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(host);
    address.sin_port = htons(static_cast<u_short>(port));
    return address;
}

bool loopbackListenerAnswers(int port) {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return false;
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    const sockaddr_in address = ipv4Address(INADDR_LOOPBACK, port);
    bool answered = ::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!answered && ::WSAGetLastError() == WSAEWOULDBLOCK) {
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(s, &writable);
        timeval limit{0, kListenerAnswerUs};
        answered = ::select(0, nullptr, &writable, nullptr, &limit) == 1;
    }
    ::closesocket(s);
    return answered;
}

}  // namespace

BindProbe probeBindAllInterfaces(int port) {
    BindProbe probe;
    WSADATA data;
    const int started = WSAStartup(MAKEWORD(2, 2), &data);
    if (started != 0) {
        probe.socketLayerError = started;
        return probe;
    }
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        WSACleanup();
        return probe;
    }
    const sockaddr_in address = ipv4Address(INADDR_ANY, port);
    const bool bound = ::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    const bool refused = !bound && ::WSAGetLastError() == WSAEACCES;
    const bool closed = ::closesocket(s) == 0;
    // A listener that holds its port exclusively (SO_EXCLUSIVEADDRUSE) is
    // refused with WSAEACCES too: only a port where none answers is reserved.
    probe.reservedBySystem = refused && !loopbackListenerAnswers(port);
    WSACleanup();
    probe.bindable = bound && closed;
    return probe;
}

}  // namespace platform
