#pragma once

#include <string>

namespace platform {

// The machine-wide application-data folder, without a trailing separator, in
// whatever form the system gives it; the empty text when it cannot be found.
// Windows: the common application-data folder (SHGetFolderPathA with
// CSIDL_COMMON_APPDATA, created when missing). Linux: "/var/lib".
std::string commonAppDataFolder();

// The program's own folder inside it (the service's state directory on Linux).
constexpr const char* kDataFolderName = "Lumetra-RD-Service-Wrapper";

}  // namespace platform
