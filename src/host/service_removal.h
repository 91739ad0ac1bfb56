#pragma once

#include <string>

#include "platform/service_manager.h"

// "-remove": stops the service, then removes its registration. A failed stop
// (a service that is not running, or is missing) prints its line and does not
// prevent the removal, which prints its own. True when the removal succeeded.
bool stopThenRemoveService(platform::ServiceManager& manager, const std::string& name);
