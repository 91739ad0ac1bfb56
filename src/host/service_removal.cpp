#include "host/service_removal.h"

#include "host/service_control.h"

bool stopThenRemoveService(platform::ServiceManager& manager, const std::string& name) {
    stopService(manager, name);
    return removeService(manager, name);
}
