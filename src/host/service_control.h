#pragma once

#include <cstdint>
#include <string>

#include "platform/service_manager.h"

// Installing, starting, stopping and removing this program as a service.
// Each operation returns true on success; on failure it prints its own error
// line to standard output (the caller prints only success lines). Every
// handle opened is closed on every path. Main thread only, one at a time.

// Registers `name` to run this executable at boot, with no arguments, to be
// restarted after a failure and with only the rights it needs (a failure to
// set either is printed, and the install still succeeds).
bool installService(platform::ServiceManager& manager, const std::string& name);
// Starts the service and waits while it reports start-pending (at most
// kStartTimeoutMs): true once it runs; false with "The service stopped while
// starting (exit code <n>, service-specific code <m>).\n" when its server
// could not start, or "Service start timed out.\n".
bool startService(platform::ServiceManager& manager, const std::string& name);
// Stops the service and waits until it has stopped; true when it is stopped
// (also when it already was). Gives up at the first status query more than
// kStopTimeoutMs after the call: with "Service stop timed out.\n" when an
// earlier stop was still pending, silently after its own stop control.
bool stopService(platform::ServiceManager& manager, const std::string& name);
// Removes the registration; does not stop the service first.
bool removeService(platform::ServiceManager& manager, const std::string& name);
// "-remove": stops the service, then removes its registration. A failed stop
// (a service that is not running, or is missing) prints its line and does not
// prevent the removal, which prints its own. True when the removal succeeded.
bool stopThenRemoveService(platform::ServiceManager& manager, const std::string& name);
// Sets the restart after a failure (platform/service_manager.h) for an
// installed service, as the installer package does after registering it.
bool setRestartOnFailure(platform::ServiceManager& manager, const std::string& name);
// Limits an installed service's privileges and gives it its own SID
// (platform/service_manager.h), as "-install" does.
bool limitServiceRights(platform::ServiceManager& manager, const std::string& name);

// Overall limits of stopService and startService, counted on the tick counter.
constexpr std::uint32_t kStopTimeoutMs = 30000;
constexpr std::uint32_t kStartTimeoutMs = 30000;

// Wait between status queries while an earlier stop is pending.
std::uint32_t pendingStopWaitMs(std::uint32_t waitHint);

// The line printServiceError prints for a system error code, "\n" included.
std::string serviceErrorLine(std::uint32_t errorCode);

// Prints the line for `errorCode` (a manager's lastError()) to standard output.
void printServiceError(std::uint32_t errorCode);
