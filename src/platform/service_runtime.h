#pragma once

#include <cstdint>

#include "platform/service_states.h"

namespace platform {

// The service status as the service manager is told it: seven fields in
// the platform's order.
struct ServiceStatusRecord {
    std::uint32_t serviceType = 0;
    std::uint32_t currentState = 0;
    std::uint32_t controlsAccepted = 0;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
};

// Opaque handle of a registered control handler; 0 when registration failed.
using ServiceStatusHandle = std::uintptr_t;

// Connects the calling (main) thread to the service manager and runs
// `serviceMain` as the service named `name` on a thread of its own; returns
// after the service has reported that it stopped. Returns false when no
// service manager is connected (a program started from a shell), and on
// POSIX also when the service stopped with a service-specific exit code, so
// the manager sees the failure in the process's exit status, or when the
// descriptors it waits on could not be opened. The calling thread sleeps
// until a control or a report arrives; it never polls.
bool runServiceControlDispatcher(const char* name, void (*serviceMain)());

// Registers the handler that receives control codes (1 = stop).
ServiceStatusHandle registerServiceControlHandler(const char* name,
                                                  void (*handleControl)(std::uint32_t));

// Reports `status` to the manager. Returns false when the report failed.
bool reportServiceStatus(ServiceStatusHandle handle, const ServiceStatusRecord& status);

}  // namespace platform
