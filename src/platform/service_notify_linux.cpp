#include "platform/service_notify.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "platform/unique_fd_posix.h"

namespace platform {
namespace {

// Fills `address` from $NOTIFY_SOCKET; false when it names no usable socket.
bool notifyAddress(sockaddr_un& address, socklen_t& length) {
    const char* name = std::getenv("NOTIFY_SOCKET");
    if (name == nullptr || (name[0] != '/' && name[0] != '@')) return false;
    const std::size_t size = std::strlen(name);
    if (size < 2 || size > sizeof address.sun_path) return false;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name, size);
    // An abstract name starts with a NUL byte and is exactly `size` long.
    if (name[0] == '@') address.sun_path[0] = '\0';
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + size);
    return true;
}

}  // namespace

bool notifyServiceManager(const std::string& state) {
    sockaddr_un address;
    socklen_t length = 0;
    if (!notifyAddress(address, length)) return false;
    const UniqueFd fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (fd.get() < 0) return false;
    const ssize_t sent = ::sendto(fd.get(), state.data(), state.size(), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&address), length);
    return sent == static_cast<ssize_t>(state.size());
}

}  // namespace platform
