#include "host/service_host.h"

#include <cstdio>
#include <cstring>
#include <exception>

#include "host/program_settings.h"
#include "host/run_loop.h"
#include "platform/process.h"

namespace {

constexpr unsigned kAcknowledgePollMs = 500;

void setState(ServiceHost& host, std::uint32_t state) {
    host.status.currentState = state;
    host.status.checkPoint = 0;
    host.status.waitHint = 0;
}

// The run loop ended without a stop request, or with an exception: the
// service is stopped, with a service-specific exit code saying why.
void reportEndedOnItsOwn(ServiceHost& host, std::uint32_t specificExitCode) {
    host.runLoopFinished = true;
    setState(host, kServiceStateStopped);
    host.status.win32ExitCode = kErrorServiceSpecificError;
    host.status.serviceSpecificExitCode = specificExitCode;
    platform::reportServiceStatus(host.statusHandle, host.status);
}

}  // namespace

ServiceHost& serviceHost() {
    static ServiceHost host{{}, stopRequested, {}, 0, {false}};
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
    host.status = platform::ServiceStatusRecord();
    host.status.serviceType = SERVICE_WIN32_TYPE;
    host.status.currentState = kServiceStateStartPending;
    host.status.controlsAccepted = kServiceAcceptStop;
    host.statusHandle = platform::registerServiceControlHandler(host.serviceName, handleControl);
    if (host.statusHandle == 0) {
        return;
    }
    setState(host, kServiceStateRunning);
    if (!platform::reportServiceStatus(host.statusHandle, host.status)) {
        return;
    }
    int result = 1;
    try {
        result = runLoop(host.stopFlag);
    } catch (const std::exception& e) {
        std::printf("%s", e.what());
        reportEndedOnItsOwn(host, 2);
        return;
    } catch (...) {
        reportEndedOnItsOwn(host, 2);
        return;
    }
    if (result != 0) {
        reportEndedOnItsOwn(host, static_cast<std::uint32_t>(result));
        return;
    }
    host.runLoopFinished = true;
}

void requestStopAndWait(ServiceHost& host) {
    host.stopFlag = true;
    while (host.stopFlag.load() && !host.runLoopFinished.load()) {
        platform::sleepMs(kAcknowledgePollMs);
    }
}

void handleControl(std::uint32_t control) {
    if (control != kServiceControlStop) {
        return;
    }
    ServiceHost& host = serviceHost();
    if (host.runLoopFinished.load() && host.status.currentState == kServiceStateStopped) {
        platform::reportServiceStatus(host.statusHandle, host.status);
        return;
    }
    requestStopAndWait(host);
    setState(host, kServiceStateStopped);
    host.status.win32ExitCode = 0;
    platform::reportServiceStatus(host.statusHandle, host.status);
}
