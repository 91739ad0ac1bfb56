#pragma once

#include <string>

// The service's event source in the system's log, registered with the
// service and removed with it. Each prints the line of a step that failed
// (the service itself is installed or removed all the same); true when none did.
bool registerServiceEventSource(const std::string& serviceName, const std::string& executable);
bool removeServiceEventSource(const std::string& serviceName);
