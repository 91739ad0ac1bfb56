#include "platform/file_handle.h"

namespace platform {

FileHandle openFile(const char* path, const char* mode) {
    return FileHandle(path != nullptr ? std::fopen(path, mode) : nullptr);
}

}  // namespace platform
