#pragma once

#include <cstddef>
#include <cstdint>

// The socket calls whose form differs between systems, for LoopbackSocket
// (loopback.cpp) alone: loopback_posix.cpp and loopback_win32.cpp define them.
namespace testing_support {
namespace loopback_calls {

using Socket = std::intptr_t;
// No socket, on every system (INVALID_SOCKET is all bits set).
constexpr Socket kNoSocket = -1;

enum class Address { kAnyIpv4, kLoopbackIpv4, kLoopbackIpv6Only };

// A TCP socket of `address`'s family; the socket layer starts on first use.
Socket open(Address address);
void close(Socket socket);
// Binds `port` (0 = any) and listens. Test servers reuse a port right after
// an earlier test closed it; where the system allows a second bind beside a
// listener (Windows), the bind is exclusive so that a bind probe fails as on
// POSIX.
bool bindAndListen(Socket socket, Address address, int port);
bool connectToLoopback(Socket socket, int port);
Socket accept(Socket listener);
int localPort(Socket socket);
// At most `size` bytes; the count, or 0 or less on error or close.
long sendSome(Socket socket, const char* bytes, std::size_t size);
long receiveSome(Socket socket, char* buffer, std::size_t size);
bool waitReadable(Socket socket, int timeoutMs);
void shutdownWrite(Socket socket);

}  // namespace loopback_calls
}  // namespace testing_support
