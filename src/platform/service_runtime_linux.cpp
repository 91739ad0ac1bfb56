// The service runtime under systemd: the service's main function runs on a
// thread of its own, as under the Windows dispatcher, while the main thread
// turns SIGTERM (and SIGINT) into the stop control and state reports into
// notification-socket messages.
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <thread>

#include "platform/service_notify.h"
#include "platform/service_runtime.h"
#include "platform/unique_fd_posix.h"

namespace platform {
namespace {

constexpr ServiceStatusHandle kSystemdHandle = 1;

// Set by the service thread, called by the main thread.
std::atomic<void (*)(std::uint32_t)> registeredControl{nullptr};
std::atomic<bool> reportedStopped{false};
std::atomic<bool> reportedFailure{false};
std::atomic<bool> serviceReturned{false};
// Written whenever the service thread changes what the main thread waits
// for, so the main thread sleeps until a signal or such a change.
std::atomic<int> mainThreadWake{-1};

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

bool startedBySystemd() { return isSet("NOTIFY_SOCKET") || isSet("INVOCATION_ID"); }

void wakeMainThread() {
    const int fd = mainThreadWake.load();
    if (fd >= 0) {
        const std::uint64_t one = 1;
        (void)!::write(fd, &one, sizeof one);
    }
}

// Drains whatever made `fd` readable; true when something was there.
bool drain(int fd, std::size_t recordBytes) {
    char record[sizeof(signalfd_siginfo)];
    bool any = false;
    while (::read(fd, record, recordBytes) == static_cast<ssize_t>(recordBytes)) {
        any = true;
    }
    return any;
}

// Waits, without a time limit, until a stop signal arrives or the service
// thread wakes us. True when a stop signal arrived.
bool waitForSignalOrWake(int signals, int wake) {
    pollfd fds[2] = {{signals, POLLIN, 0}, {wake, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
        return false;  // EINTR: the caller looks at its flags again
    }
    drain(wake, sizeof(std::uint64_t));
    return drain(signals, sizeof(signalfd_siginfo));
}

}  // namespace

bool runServiceControlDispatcher(const char*, void (*serviceMain)()) {
    if (!startedBySystemd()) {
        return false;
    }
    // Block the stop signals before the service thread starts, so it
    // inherits the mask and only this thread takes them, through the
    // signal descriptor.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    UniqueFd signals(::signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC));
    UniqueFd wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (signals.get() < 0 || wake.get() < 0) {
        return false;
    }
    mainThreadWake = wake.get();
    reportedStopped = false;
    serviceReturned = false;
    std::thread service([serviceMain] {
        serviceMain();
        serviceReturned = true;
        wakeMainThread();
    });
    bool stopPending = false;
    // Ends when the service reports that it stopped, or when its main
    // function gave up before it could report anything.
    while (!reportedStopped.load() && !serviceReturned.load()) {
        if (waitForSignalOrWake(signals.get(), wake.get())) {
            stopPending = true;
        }
        // A stop that arrives before the handler is registered waits for it.
        void (*control)(std::uint32_t) = registeredControl.load();
        if (stopPending && control != nullptr) {
            stopPending = false;
            control(kServiceControlStop);
        }
    }
    service.join();
    mainThreadWake = -1;
    return !reportedFailure.load();
}

ServiceStatusHandle registerServiceControlHandler(const char*,
                                                  void (*handleControl)(std::uint32_t)) {
    registeredControl = handleControl;
    wakeMainThread();  // a stop may be waiting for the handler
    return kSystemdHandle;
}

bool reportServiceStatus(ServiceStatusHandle handle, const ServiceStatusRecord& status) {
    if (handle != kSystemdHandle) {
        return false;
    }
    // Notifications are best effort: a unit without notify access still runs.
    if (status.currentState == kServiceRunning) {
        notifyServiceManager("READY=1");
    } else if (status.currentState == kServiceStopped) {
        reportedFailure = status.win32ExitCode != 0;
        notifyServiceManager("STOPPING=1");
        reportedStopped = true;
        wakeMainThread();
    }
    return true;
}

}  // namespace platform
