#include <windows.h>
#include <direct.h>

#include "platform/process_paths.h"

namespace platform {

std::string executablePath() {
    char buffer[MAX_PATH + 1];
    const DWORD n = ::GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    return (n > 0 && n < sizeof buffer) ? std::string(buffer, n) : std::string();
}

std::string currentDirectory() {
    char buffer[MAX_PATH + 1];
    return ::_getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

bool changeDirectory(const std::string& path) { return ::_chdir(path.c_str()) == 0; }

}  // namespace platform
