#include "platform/machine_registry.h"

namespace platform {

std::unique_ptr<MachineRegistry> makeMachineRegistry() { return nullptr; }

}  // namespace platform
