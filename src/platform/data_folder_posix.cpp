#include "platform/data_folder.h"

namespace platform {

// The Filesystem Hierarchy Standard's place for state a program keeps for the
// whole machine, which is what the common application-data folder is on Windows.
std::string commonAppDataFolder() { return "/var/lib"; }

}  // namespace platform
