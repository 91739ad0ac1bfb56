#include <windows.h>

#include "platform/files.h"
#include "platform/wide_text_win32.h"

namespace platform {

bool fileExists(const std::string& path) {
    return ::GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool replaceFile(const std::string& from, const std::string& to) {
    return ::MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING) !=
           FALSE;
}

bool createDirectory(const std::string& path) {
    return ::CreateDirectoryW(widen(path).c_str(), nullptr) != FALSE ||
           ::GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace platform
