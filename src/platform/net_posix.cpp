#include "platform/net.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

const char* reservedPortsCommand() { return "sysctl net.ipv4.ip_unprivileged_port_start"; }

BindProbe probeBindAllInterfaces(int port) {
    BindProbe probe;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return probe;
    }
    // On Linux a port whose closed connections linger in TIME_WAIT refuses a
    // plain bind for a minute, although the engine (which sets this option)
    // can listen on it; with the option a listener still makes the bind fail,
    // which is the test we want, and the same answer Windows gives.
    int reuse = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    probe.reservedBySystem = !bound && errno == EACCES;
    const bool closed = ::close(fd) == 0;
    probe.bindable = bound && closed;
    return probe;
}

}  // namespace platform
