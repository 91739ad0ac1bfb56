#pragma once

#include <atomic>
#include <cstdint>

#include "platform/service_runtime.h"

// The record of the running service: its name, the stop flag it requests
// stops on, the status last reported and the handle to report it through.
struct ServiceHost {
    char serviceName[256];
    std::atomic<bool>& stopFlag;
    platform::ServiceStatusRecord status;
    platform::ServiceStatusHandle statusHandle = 0;
    // Set once the run loop has returned; a later stop control must not
    // wait for an acknowledgement that can no longer come.
    std::atomic<bool> runLoopFinished{false};
};

// The one service record of the process.
ServiceHost& serviceHost();

// Runs the service under the service manager; blocks until it stopped.
// False when no service manager is connected.
bool runServiceDispatcher();

// The service's main function: reports running, then runs the run loop.
void serviceMain();

// The control handler: a stop control requests a stop, waits for the run
// loop's acknowledgement and reports the stopped state.
void handleControl(std::uint32_t control);

// Sets the stop flag and waits, in steps of 500 ms, until the run loop
// clears it (or has already finished).
void requestStopAndWait(ServiceHost& host);

// Status values written into the service status.
constexpr std::uint32_t SERVICE_WIN32_TYPE = 0x30;
constexpr std::uint32_t kServiceStateStopped = 1;
constexpr std::uint32_t kServiceStateStartPending = 2;
constexpr std::uint32_t kServiceStateRunning = 4;
constexpr std::uint32_t kServiceAcceptStop = 1;
constexpr std::uint32_t kServiceControlStop = 1;
// Reported when the run loop ends on its own (the server did not start).
constexpr std::uint32_t kErrorServiceSpecificError = 1066;
