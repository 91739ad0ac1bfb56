#include <windows.h>
#include <shlwapi.h>

#include "platform/files.h"

namespace platform {

bool fileExists(const std::string& path) { return ::PathFileExistsA(path.c_str()) != FALSE; }

bool replaceFile(const std::string& from, const std::string& to) {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool createDirectory(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE ||
           ::GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace platform
