#pragma once

#include <string>

namespace platform {

// Result of trying to bind a TCP socket to one port on every local address.
struct BindProbe {
    bool bindable = false;
    // Set when the socket layer itself could not start (Windows only): the
    // code that its start-up returned. 0 otherwise.
    int socketLayerError = 0;
    // The bind was refused although nothing may hold the port: Windows
    // reserves ranges for Hyper-V, WSL and WinNAT (WSAEACCES), Linux keeps
    // the ports below its unprivileged start for root (EACCES).
    bool reservedBySystem = false;
};

// The command that lists the ports the system keeps back, for a person to run.
const char* reservedPortsCommand();

// Binds an IPv4 stream socket to 0.0.0.0:`port`, then closes it. Nothing
// listens and nothing connects. A port with a listener on any address is not
// bindable; one with only closed connections waiting out TIME_WAIT is.
BindProbe probeBindAllInterfaces(int port);

}  // namespace platform
