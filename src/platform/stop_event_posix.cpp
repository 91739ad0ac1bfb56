// The wake-up channel of StopEvent on POSIX: a self-pipe, because write()
// is one of the few calls a signal handler may make.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/stop_event.h"

namespace platform {

// Either end is -1 when the pipe could not be made: a stop is then seen
// only by requested().
struct StopEvent::Wakeup {
    int readEnd = -1;
    int writeEnd = -1;

    Wakeup() {
        int fds[2];
        if (::pipe(fds) == 0) {
            readEnd = nonBlockingNotInherited(fds[0]);
            writeEnd = nonBlockingNotInherited(fds[1]);
        }
    }
    ~Wakeup() {
        if (readEnd >= 0) ::close(readEnd);
        if (writeEnd >= 0) ::close(writeEnd);
    }

    static int nonBlockingNotInherited(int fd) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        return fd;
    }
};

StopEvent::StopEvent() : wakeup_(new Wakeup) {}

StopEvent::~StopEvent() = default;

void StopEvent::notifyWakeup() {
    const int saved = errno;  // a signal handler must leave errno as it was
    const char byte = 1;
    if (wakeup_->writeEnd >= 0) {
        (void)!::write(wakeup_->writeEnd, &byte, 1);
    }
    errno = saved;
}

bool StopEvent::waitWakeup(int timeoutMs) {
    pollfd entry{wakeup_->readEnd, POLLIN, 0};
    if (wakeup_->readEnd < 0 || ::poll(&entry, 1, timeoutMs) <= 0) {
        return false;
    }
    char drained[64];
    while (::read(wakeup_->readEnd, drained, sizeof drained) > 0) {
    }
    return true;
}

}  // namespace platform
