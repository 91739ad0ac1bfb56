// What finding the owners costs one forward on Linux: the listener table of
// a 21-port range read with each listener's owner (5 listeners of this
// account in it), and the owner of the caller's connection. Prints the
// median and the 99th percentile in microseconds; asserts nothing.
//
// Built and run by bench/owner_lookup; usage: owner_lookup [rounds] (default 20000).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/connection_owner.h"
#include "platform/loopback_listeners.h"

namespace {

// Away from the RD range and the tests' port blocks (14000-19759).
constexpr int kFirstPort = 21100;
constexpr int kRangePorts = 21;
constexpr int kListeners = 5;

int listenOn(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0) {
        std::fprintf(stderr, "cannot listen on %d\n", port);
        std::exit(1);
    }
    return fd;
}

int localPort(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

template <typename Work>
void report(const char* what, int rounds, Work work) {
    std::vector<double> micros;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double, std::micro> took =
            std::chrono::steady_clock::now() - start;
        micros.push_back(took.count());
    }
    std::sort(micros.begin(), micros.end());
    std::printf("%-44s median %8.1f us   p99 %8.1f us\n", what, micros[micros.size() / 2],
                micros[micros.size() * 99 / 100]);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(100, std::atoi(argv[1])) : 20000;
    std::vector<int> listeners;
    for (int i = 0; i < kListeners; ++i) {
        listeners.push_back(listenOn(kFirstPort + 4 * i));
    }
    const int caller = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    server.sin_port = htons(static_cast<uint16_t>(kFirstPort));
    if (::connect(caller, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        std::fprintf(stderr, "cannot connect\n");
        return 1;
    }
    const platform::TcpEndpoint local{"127.0.0.1", kFirstPort};
    const platform::TcpEndpoint remote{"127.0.0.1", localPort(caller)};
    std::vector<platform::LoopbackListener> table;
    const auto readTable = [&] {
        platform::listLoopbackListeners(kFirstPort, kFirstPort + kRangePorts - 1, table);
    };
    const auto readCaller = [&] { platform::accountOfLoopbackPeer(local, remote); };
    report("listener table with owners (5 listed)", rounds, readTable);
    report("caller's connection owner", rounds, readCaller);
    report("both: the owner lookup of one forward", rounds, [&] {
        readTable();
        readCaller();
    });
    std::printf("listed %zu, first owner %s, caller %s\n", table.size(),
                table.empty() ? "-" : platform::accountName(table[0].owner).c_str(),
                platform::accountName(platform::accountOfLoopbackPeer(local, remote)).c_str());
    ::close(caller);
    for (int fd : listeners) ::close(fd);
    return 0;
}
