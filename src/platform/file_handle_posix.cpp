#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_handle.h"

namespace platform {

FileHandle openFile(const char* path, const char* mode) {
    return FileHandle(path != nullptr ? std::fopen(path, mode) : nullptr);
}

FileHandle openPrivateLog(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return FileHandle();
    ::fchmod(fd, 0600);  // refused for another account's file, which stays as it is
    std::FILE* file = ::fdopen(fd, "ab");
    if (file == nullptr) ::close(fd);
    return FileHandle(file);
}

}  // namespace platform
