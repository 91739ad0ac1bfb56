#include "platform/process_paths.h"

#include <unistd.h>

#include <climits>

namespace platform {

std::string executablePath() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string currentDirectory() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

bool changeDirectory(const std::string& path) { return ::chdir(path.c_str()) == 0; }

}  // namespace platform
