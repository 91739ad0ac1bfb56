#include "platform/files_and_clock.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

namespace platform {

void sleepMs(unsigned milliseconds) {
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

std::uint32_t tickCountMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

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

bool fileExists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

bool replaceFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool localTime(std::time_t when, std::tm& out) { return ::localtime_r(&when, &out) != nullptr; }

bool createDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

}  // namespace platform
