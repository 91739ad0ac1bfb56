#include "host/service_host.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "host/program_folder_check.h"
#include "host/program_settings.h"
#include "host/run_loop.h"
#include "logging/rotating_log.h"
#include "platform/console.h"
#include "platform/service_manager.h"
#include "text/escaped_text.h"

namespace {

using Lock = std::lock_guard<std::mutex>;

// The service-specific exit code of a run loop that an exception ended (the
// run loop's own result, 1, stands for a server that did not start).
constexpr std::uint32_t kExitCodeOfAnException = 2;
// How long the manager should allow for each pending state: a start binds at
// most ten ports and starts the engine; a stop ends the forwards in flight.
constexpr std::uint32_t kStartWaitHintMs = 10000;
constexpr std::uint32_t kStopWaitHintMs = 1000;

void setState(ServiceHost& host, std::uint32_t state, std::uint32_t waitHint = 0) {
    host.status.currentState = state;
    host.status.checkPoint = waitHint != 0 ? host.status.checkPoint + 1 : 0;
    host.status.waitHint = waitHint;
}

// The server listens: from now on the service is running (unless a stop came
// first, whose pending state stands).
void reportListening(ServiceHost& host) {
    Lock lock(host.mutex);
    if (host.status.currentState != platform::kServiceStartPending) return;
    setState(host, platform::kServiceRunning);
    platform::reportServiceStatus(host.statusHandle, host.status);
}

int runLoopGuarded(ServiceHost& host) {
    RunLoopOptions options;
    options.onReady = [&host](const std::vector<int>&) { reportListening(host); };
    try {
        return runLoop(host.stop, options);
    } catch (const std::exception& e) {
        std::printf("%s", e.what());
    } catch (...) {
    }
    return -1;
}

// The last thing the service thread does: once the manager hears "stopped"
// the process may end at any moment, so the report is made from copies, after
// every shared object (the record, its lock, the stop event) is let go.
void reportStopped(ServiceHost& host, int runLoopResult) {
    platform::finishStdoutCopy();
    platform::ServiceStatusRecord status;
    platform::ServiceStatusHandle handle = 0;
    {
        Lock lock(host.mutex);
        setState(host, platform::kServiceStopped);
        if (runLoopResult != 0) {
            host.status.win32ExitCode = platform::kErrorServiceSpecificError;
            host.status.serviceSpecificExitCode = runLoopResult > 0
                                                      ? static_cast<std::uint32_t>(runLoopResult)
                                                      : kExitCodeOfAnException;
        }
        host.runLoopFinished = true;
        status = host.status;
        handle = host.statusHandle;
    }
    host.stop.finished();
    platform::reportServiceStatus(handle, status);
}

}  // namespace

ServiceHost& serviceHost() {
    static ServiceHost host{{}, stopRequested, {}, {}, 0, false};
    static const bool named =
        std::snprintf(host.serviceName, sizeof host.serviceName, "%s", serviceName) >= 0;
    (void)named;
    return host;
}

bool runServiceDispatcher() {
    return platform::runServiceControlDispatcher(serviceHost().serviceName, serviceMain);
}

void serviceMain() {
    ServiceHost& host = serviceHost();
    // A line at a time with a timestamp, to the bounded service log.
    auto log = std::make_shared<RotatingLog>(kServiceLogName);
    platform::copyStdoutToLog(
        [log](const std::string& line) { log->write(text::escapeControlBytes(line)); });
    // Said, not refused: a replaced program would not run this check, and
    // stopping would not take the registration back; the administrator
    // learns it at every start until the folder is mended.
    const std::string folderWarning = runningProgramFolderWarning();
    if (!folderWarning.empty()) std::printf("%s\n", folderWarning.c_str());
    {
        Lock lock(host.mutex);
        host.status = platform::ServiceStatusRecord();
        host.status.serviceType = platform::kServiceWin32Type;
        // A stop asked for while starting is taken: the run loop sees it as
        // soon as it waits.
        host.status.controlsAccepted = platform::kServiceAcceptStop;
        host.statusHandle =
            platform::registerServiceControlHandler(host.serviceName, handleControl);
        if (host.statusHandle == 0) {
            return;
        }
        setState(host, platform::kServiceStartPending, kStartWaitHintMs);
        if (!platform::reportServiceStatus(host.statusHandle, host.status)) {
            return;
        }
    }
    reportStopped(host, runLoopGuarded(host));
}

void requestStopAndWait(ServiceHost& host) {
    host.stop.request();
    host.stop.waitAcknowledged();
}

void handleControl(std::uint32_t control) {
    if (control != platform::kServiceControlStop) {
        return;
    }
    ServiceHost& host = serviceHost();
    {
        Lock lock(host.mutex);
        if (host.runLoopFinished) {
            // The service thread has reported, or is about to report, stopped.
            return;
        }
        setState(host, platform::kServiceStopPending, kStopWaitHintMs);
        platform::reportServiceStatus(host.statusHandle, host.status);
    }
    // The service thread reports "stopped" once the run loop has closed the
    // server: reporting it here would let the process end under its feet.
    // Returning only then keeps the stop control synchronous for managers
    // that do not wait for the stopped state (Wine's installer removes the
    // files right after its stop control).
    requestStopAndWait(host);
}
