#include "support/notify_receiver.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace testing_support {

NotifyReceiver::NotifyReceiver(const std::string& name) : name_(name) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.empty() || name.size() >= sizeof address.sun_path) {
        return;
    }
    std::memcpy(address.sun_path, name.data(), name.size());
    if (name[0] == '@') {
        address.sun_path[0] = '\0';
    }
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
    bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0;
}

NotifyReceiver::~NotifyReceiver() {
    ::close(fd_);
    if (!name_.empty() && name_[0] == '/') {
        ::unlink(name_.c_str());
    }
}

std::string NotifyReceiver::receive(int timeoutMs) {
    pollfd poll{fd_, POLLIN, 0};
    if (::poll(&poll, 1, timeoutMs) != 1) {
        return "";
    }
    char buffer[256];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "";
}

}  // namespace testing_support
