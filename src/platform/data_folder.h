#pragma once

#include <string>

namespace platform {

// The machine-wide application-data folder, without a trailing separator, in
// whatever form the system gives it; the empty text when it cannot be found.
// Windows: the common application-data folder (SHGetFolderPathA with
// CSIDL_COMMON_APPDATA, created when missing). Linux: "/var/lib".
std::string commonAppDataFolder();

}  // namespace platform
