#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/unique_fd_posix.h"

namespace platform {

bool fileExists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

bool replaceFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool createDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

FileRead readWholeFile(const std::string& path, std::string& contents, std::string& reason) {
    contents.clear();
    // Non-blocking: a FIFO put in the file's place must not hold start-up.
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        if (errno == ENOENT) return FileRead::kMissing;
        reason = std::strerror(errno);
        return FileRead::kUnreadable;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n == 0) return FileRead::kRead;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            reason = std::strerror(errno);  // a folder: "Is a directory"
            contents.clear();
            return FileRead::kUnreadable;
        }
        contents.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace platform
