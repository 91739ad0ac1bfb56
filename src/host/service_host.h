#pragma once

#include <cstdint>
#include <mutex>

#include "platform/service_runtime.h"
#include "platform/stop_event.h"

// The record of the running service: its name, the stop it requests, the
// status last reported and the handle to report it through. The status and
// the finished flag are written by the service thread and the control
// thread: both only under `mutex`, and each report is made under it too.
struct ServiceHost {
    char serviceName[256];
    platform::StopEvent& stop;
    std::mutex mutex;
    platform::ServiceStatusRecord status;
    platform::ServiceStatusHandle statusHandle = 0;
    // Set once the run loop has returned; a later stop control must not
    // wait for an acknowledgement that can no longer come.
    bool runLoopFinished = false;
};

// The one service record of the process.
ServiceHost& serviceHost();

// Runs the service under the service manager; blocks until it stopped.
// False when no service manager is connected.
bool runServiceDispatcher();

// The service's main function: reports start-pending, runs the run loop,
// reports running once the server listens, and at the end reports stopped,
// with the service-specific exit code 1 (no server) or 2 (an exception) when
// the run loop ended without a stop request. That report is its last act.
void serviceMain();

// The control handler: a stop control reports stop-pending and requests the
// stop; the service thread reports the stopped state when it is done.
void handleControl(std::uint32_t control);

// Requests a stop and waits until the run loop acknowledges it (or has
// already finished).
void requestStopAndWait(ServiceHost& host);

// The service's log in the executable's folder (the working directory);
// Windows only: systemd keeps standard output in its journal.
constexpr const char* kServiceLogName = "rdserver_ext.log";
