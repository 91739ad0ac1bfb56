// The wake-up channel of StopEvent on POSIX: a self-pipe, because write()
// is one of the few calls a signal handler may make.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/stop_event.h"

namespace platform {
namespace {

void setFlags(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

}  // namespace

void StopEvent::openWakeup() {
    int fds[2];
    if (::pipe(fds) == 0) {
        setFlags(fds[0]);
        setFlags(fds[1]);
        wakeup_[0] = fds[0];
        wakeup_[1] = fds[1];
    }
}

void StopEvent::closeWakeup() {
    for (std::intptr_t fd : wakeup_) {
        if (fd >= 0) {
            ::close(static_cast<int>(fd));
        }
    }
}

void StopEvent::notifyWakeup() {
    const int saved = errno;  // a signal handler must leave errno as it was
    const char byte = 1;
    if (wakeup_[1] >= 0) {
        (void)!::write(static_cast<int>(wakeup_[1]), &byte, 1);
    }
    errno = saved;
}

bool StopEvent::waitWakeup(int timeoutMs) {
    pollfd entry{static_cast<int>(wakeup_[0]), POLLIN, 0};
    if (wakeup_[0] < 0 || ::poll(&entry, 1, timeoutMs) <= 0) {
        return false;
    }
    char drained[64];
    while (::read(static_cast<int>(wakeup_[0]), drained, sizeof drained) > 0) {
    }
    return true;
}

}  // namespace platform
