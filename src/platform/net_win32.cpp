#include <winsock2.h>

#include "platform/net.h"

#include <cstring>

namespace platform {

const char* reservedPortsCommand() { return "netsh int ipv4 show excludedportrange protocol=tcp"; }

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
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<u_short>(port));
    const bool bound = ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    probe.reservedBySystem = !bound && ::WSAGetLastError() == WSAEACCES;
    const bool closed = ::closesocket(s) == 0;
    WSACleanup();
    probe.bindable = bound && closed;
    return probe;
}

}  // namespace platform
