#pragma once

#include <string>

#include "platform/account_identity.h"

namespace platform {

// One end of a TCP connection: a numeric address ("127.0.0.1", "::1") and a port.
struct TcpEndpoint {
    std::string address;
    int port = 0;
};

// Who owns the socket at the far end of a loopback connection this process
// accepted: the socket bound to `remote` and connected to `local`, both as
// this process sees them. Unknown when the system would not tell or holds no
// such connection (the caller has gone). Safe to call from any thread.
AccountIdentity accountOfLoopbackPeer(const TcpEndpoint& local, const TcpEndpoint& remote);

}  // namespace platform
