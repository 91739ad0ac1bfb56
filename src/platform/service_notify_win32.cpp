#include "platform/service_notify.h"

namespace platform {

// The Windows service manager learns the state through SetServiceStatus.
bool notifyServiceManager(const std::string&) { return false; }

}  // namespace platform
