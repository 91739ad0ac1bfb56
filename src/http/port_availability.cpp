#include "http/port_availability.h"

#include <cstdio>

#include "platform/net.h"

PortState probePort(int port) {
    const platform::BindProbe probe = platform::probeBindAllInterfaces(port);
    if (probe.socketLayerError != 0) {
        std::printf("WSAStartup failed with error: %d\n", probe.socketLayerError);
    }
    if (probe.bindable) return PortState::kFree;
    return probe.reservedBySystem ? PortState::kReserved : PortState::kInUse;
}

std::string reservationsHint() {
    return std::string(platform::reservedPortsCommand()) + " lists the reservations";
}

std::string reservedPortsLine(int firstPort, int lastPort, PortState (*probe)(int)) {
    std::string ports;
    for (int port = firstPort; port <= lastPort; ++port) {
        if (probe(port) == PortState::kReserved) ports += " " + std::to_string(port);
    }
    if (ports.empty()) return ports;
    return "Ports" + ports + " of " + std::to_string(firstPort) + "-" + std::to_string(lastPort) +
           " are reserved by the system (" + reservationsHint() + ")";
}
