#pragma once

#include <string>

namespace testing_support {

// The command line the service manager runs for service `name`; empty when
// the service is not registered. Windows only.
std::string registeredServiceCommand(const std::string& name);

}  // namespace testing_support
