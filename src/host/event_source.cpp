#include "host/event_source.h"

#include <cstdio>

#include "host/service_control.h"
#include "platform/event_log.h"

namespace {

bool succeeded(std::uint32_t error, const char* step) {
    if (error == 0) return true;
    std::printf("The event source could not be %s: %s", step, serviceErrorLine(error).c_str());
    std::fflush(stdout);
    return false;
}

}  // namespace

bool registerServiceEventSource(const std::string& serviceName, const std::string& executable) {
    return succeeded(platform::registerEventSource(serviceName, executable), "registered");
}

bool removeServiceEventSource(const std::string& serviceName) {
    return succeeded(platform::removeEventSource(serviceName), "removed");
}
