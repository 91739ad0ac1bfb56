#include "host/service_host.h"

#include <cstdio>
#include <cstring>
#include <exception>

#include "host/program_settings.h"
#include "host/run_loop.h"
#include "platform/console.h"
#include "platform/service_manager.h"

namespace {

using Lock = std::lock_guard<std::mutex>;

// The service-specific exit code of a run loop that an exception ended (the
// run loop's own result, 1, stands for a server that did not start).
constexpr std::uint32_t kExitCodeOfAnException = 2;

void setState(ServiceHost& host, std::uint32_t state) {
    host.status.currentState = state;
    host.status.checkPoint = 0;
    host.status.waitHint = 0;
}

// The run loop ended without a stop request, or with an exception: the
// service is stopped, with a service-specific exit code saying why. The
// report comes before the finished flag, so a stop control that sees the
// flag can only repeat this report.
void reportEndedOnItsOwn(ServiceHost& host, std::uint32_t specificExitCode) {
    platform::finishStdoutCopy();
    Lock lock(host.mutex);
    setState(host, platform::kServiceStopped);
    host.status.win32ExitCode = platform::kErrorServiceSpecificError;
    host.status.serviceSpecificExitCode = specificExitCode;
    platform::reportServiceStatus(host.statusHandle, host.status);
    host.runLoopFinished = true;
}

void markFinished(ServiceHost& host) {
    {
        Lock lock(host.mutex);
        host.runLoopFinished = true;
    }
    host.stop.finished();
}

int runLoopGuarded(ServiceHost& host) {
    try {
        return runLoop(host.stop);
    } catch (const std::exception& e) {
        std::printf("%s", e.what());
    } catch (...) {
    }
    reportEndedOnItsOwn(host, kExitCodeOfAnException);
    return -1;
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
    platform::copyStdoutToLog(kServiceLogName);
    {
        Lock lock(host.mutex);
        host.status = platform::ServiceStatusRecord();
        host.status.serviceType = platform::kServiceWin32Type;
        host.status.currentState = platform::kServiceStartPending;
        host.status.controlsAccepted = platform::kServiceAcceptStop;
        host.statusHandle =
            platform::registerServiceControlHandler(host.serviceName, handleControl);
        if (host.statusHandle == 0) {
            return;
        }
        setState(host, platform::kServiceRunning);
        if (!platform::reportServiceStatus(host.statusHandle, host.status)) {
            return;
        }
    }
    const int result = runLoopGuarded(host);
    if (result > 0) {
        reportEndedOnItsOwn(host, static_cast<std::uint32_t>(result));
    }
    markFinished(host);
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
        if (host.runLoopFinished && host.status.currentState == platform::kServiceStopped) {
            platform::reportServiceStatus(host.statusHandle, host.status);
            return;
        }
    }
    requestStopAndWait(host);
    platform::finishStdoutCopy();
    Lock lock(host.mutex);
    if (host.status.currentState == platform::kServiceStopped) {
        // The run loop ended on its own meanwhile: its report stands.
        platform::reportServiceStatus(host.statusHandle, host.status);
        return;
    }
    setState(host, platform::kServiceStopped);
    host.status.win32ExitCode = 0;
    platform::reportServiceStatus(host.statusHandle, host.status);
}
