#pragma once

#include <string>

#include "platform/service_manager.h"
#include "rd/forwarding.h"

// "-check": what a start would find, without starting anything. Reads
// config.ini (the working directory) and DeviceConfig.xml as a start does
// and prints the settings in force, which of its own ports are free, each
// upstream port's answer to a forward's discovery probe, the port a forward
// would use now, and whether the service is installed and running.

struct CheckSetup {
    // The service manager to ask; null means the platform's.
    platform::ServiceManager* serviceManager = nullptr;
    // What a forward would use: the data folder, the upstream ports probed
    // and how (tests narrow the range), and the limits.
    ForwardingOptions forwarding;
};

// Returns the exit code: 0 when a forward would find the device, 1 otherwise.
int runCheck(const CheckSetup& setup = CheckSetup());

// "installed, running", "not installed", "cannot tell: <reason>" and so on,
// for the service `name`, asked without any change.
std::string describeServiceState(platform::ServiceManager& manager, const std::string& name);
