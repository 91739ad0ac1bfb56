#pragma once

#include <string>

namespace platform {

// Sends `state` (for example "READY=1" or "STOPPING=1") as one datagram to the
// service manager's notification socket named by $NOTIFY_SOCKET: a path, or
// an abstract socket name written with a leading '@'. Returns true when the
// datagram was sent; false when the variable is unset or unusable (not run by
// systemd) or sending failed. Windows has no such socket: does nothing and
// returns false. Safe to call from any thread.
bool notifyServiceManager(const std::string& state);

}  // namespace platform
