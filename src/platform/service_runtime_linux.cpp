// The service runtime under systemd: the service's main function runs on a
// thread of its own, as under the Windows dispatcher, while the main thread
// turns SIGTERM (and SIGINT) into the stop control and state reports into
// notification-socket messages.
#include <pthread.h>
#include <signal.h>
#include <time.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "platform/service_notify.h"
#include "platform/service_runtime.h"

namespace platform {
namespace {

constexpr long kSignalPollNs = 200L * 1000000L;
constexpr ServiceStatusHandle kSystemdHandle = 1;

// Set by the service thread, called by the main thread.
std::atomic<void (*)(std::uint32_t)> registeredControl{nullptr};
std::atomic<bool> reportedStopped{false};
std::atomic<bool> reportedFailure{false};
std::atomic<bool> serviceReturned{false};

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

bool startedBySystemd() { return isSet("NOTIFY_SOCKET") || isSet("INVOCATION_ID"); }

}  // namespace

bool runServiceControlDispatcher(const char*, void (*serviceMain)()) {
    if (!startedBySystemd()) {
        return false;
    }
    // Block the stop signals before the service thread starts, so it
    // inherits the mask and only this thread takes them, synchronously.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    reportedStopped = false;
    serviceReturned = false;
    std::thread service([serviceMain] {
        serviceMain();
        serviceReturned = true;
    });
    const timespec poll{0, kSignalPollNs};
    bool stopPending = false;
    // Ends when the service reports that it stopped, or when its main
    // function gave up before it could report anything.
    while (!reportedStopped.load() && !serviceReturned.load()) {
        if (sigtimedwait(&stopSignals, nullptr, &poll) > 0) {
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
    return !reportedFailure.load();
}

ServiceStatusHandle registerServiceControlHandler(const char*,
                                                  void (*handleControl)(std::uint32_t)) {
    registeredControl = handleControl;
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
    }
    return true;
}

}  // namespace platform
