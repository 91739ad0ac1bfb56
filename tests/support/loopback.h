#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// A TCP socket on the loopback address, closed by its destructor.
class LoopbackSocket {
  public:
    LoopbackSocket();
    ~LoopbackSocket();
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;
    LoopbackSocket(LoopbackSocket&& other) noexcept;
    LoopbackSocket& operator=(LoopbackSocket&& other) noexcept;

    // Connects to 127.0.0.1 (or ::1) on `port`.
    bool connectTo(int port, bool ipv6 = false);
    // Binds 0.0.0.0 (or 127.0.0.1) on `port` (0 = any) and listens.
    bool listenOn(int port, bool allInterfaces = true);
    // Listens on ::1 alone (IPv6 only) instead, on `port` (0 = any).
    bool listenOnIpv6Loopback(int port);
    LoopbackSocket acceptOne(int timeoutMs);
    int localPort() const;
    bool sendAll(const std::string& bytes);
    // Reads until the peer closes, `limit` bytes arrive, or `timeoutMs` passes.
    std::string receiveUntilClosed(int timeoutMs, std::size_t limit = 64u << 20);
    // Reads until `marker` has been seen (or close/time-out).
    std::string receiveUntil(const std::string& marker, int timeoutMs);
    void shutdownWrite();
    bool valid() const;
    // The socket of the system, for a setting of the code under test.
    std::uintptr_t nativeHandle() const { return static_cast<std::uintptr_t>(handle_); }
    void close();

  private:
    explicit LoopbackSocket(std::intptr_t handle);
    // One receive of at most `size` bytes; 0 on close, error or time-out.
    long receiveSome(char* buffer, std::size_t size, int timeoutMs);
    std::string receive(const std::string& marker, int timeoutMs, std::size_t limit);

    // The system's socket calls (loopback_posix.cpp, loopback_win32.cpp).
    // No socket is -1 on every system (INVALID_SOCKET has every bit set).
    static constexpr std::intptr_t kNoSocket = -1;
    enum class Address { kAnyIpv4, kLoopbackIpv4, kLoopbackIpv6Only };
    static std::intptr_t openSocket(Address address);  // starts the socket layer once
    void closeSocket();
    // Test servers reuse a port right after an earlier test closed it; where a
    // second bind beside a listener is allowed (Windows), the bind is
    // exclusive so that a bind probe fails as on POSIX.
    bool bindAndListen(Address address, int port);
    bool connectToLoopback(bool ipv6, int port);
    std::intptr_t acceptSocket();
    // Counts of bytes, 0 or less on error or close.
    long sendNow(const char* bytes, std::size_t size);
    long receiveNow(char* buffer, std::size_t size);
    bool waitReadable(int timeoutMs);

    std::intptr_t handle_;
};

// Listeners on the `count` ports from `first` (on every interface, or on
// 127.0.0.1 alone), so that nothing else listens there while they live;
// none when one of them could not listen.
std::vector<LoopbackSocket> occupyPorts(int first, int count, bool allInterfaces = true);

// Sends `request` to 127.0.0.1:`port` and returns every byte answered until
// the server closes the connection.
std::string exchange(int port, const std::string& request, int timeoutMs = 10000);

}  // namespace testing_support
