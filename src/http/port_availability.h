#pragma once

#include <string>

// What a bind test says of one listening port.
enum class PortState {
    kFree,
    kInUse,     // something listens on it (or the socket layer did not start)
    kReserved,  // the system keeps it back: nothing shows as listening
};

// Binds a socket to `port` on all local addresses and closes it again
// (platform/net.h); prints the socket layer's start-up error when there is one.
PortState probePort(int port);

// "<command> lists the reservations": where a user sees which ports the
// system keeps back, said wherever a reserved port is reported.
std::string reservationsHint();

// "Ports <a> <b> of <first>-<last> are reserved by the system (<hint>)" when any port of the range
// is kReserved; the empty text otherwise. `probe` stands in for probePort in tests.
std::string reservedPortsLine(int firstPort, int lastPort, PortState (*probe)(int) = probePort);
