#pragma once

#include <cstdint>
#include <vector>

#include "platform/account_identity.h"

namespace platform {

// Which loopback addresses accept a TCP connection on one port: a listener
// on 127.0.0.1 or on the IPv4 wildcard serves `ipv4`, one on ::1 or on the
// IPv6 wildcard serves `ipv6`.
struct LoopbackListener {
    int port = 0;
    bool ipv4 = false;
    bool ipv6 = false;
    // Who owns the socket that a connection to the port reaches: the IPv4
    // one where both families listen (as discovery connects), and of those
    // the one bound to the loopback address over a wildcard one. Unknown
    // when the system would not tell (the port is listed all the same).
    AccountIdentity owner;
};

// The system's table of listening TCP sockets for ports `firstPort` to
// `lastPort`: one entry for each port where something listens, ascending by
// port. Reads the listeners only, never the table of connections, so its cost
// does not grow with the traffic of the machine. False when the system would
// not tell (the caller then knows nothing about the range); safe to call
// from any thread.
bool listLoopbackListeners(int firstPort, int lastPort, std::vector<LoopbackListener>& listeners);

// listLoopbackListeners where reading the table costs less than the probes
// it spares, false elsewhere: under Wine, whose sockets are the host's and
// refuse at once, while its emulated table takes tens of milliseconds a read.
bool listLoopbackListenersIfCheap(int firstPort, int lastPort,
                                  std::vector<LoopbackListener>& listeners);

// Prepares a TCP socket, before it connects to a loopback address, to fail
// at once when the port refuses: Windows otherwise retries the SYN after the
// reset and reports the refusal only after about 2 s. Returns 0, or the
// system's error code when the system refused the setting (the connect then
// goes on as before). Linux refuses at once already and returns 0.
int failLoopbackConnectFast(std::uintptr_t socket);

}  // namespace platform
