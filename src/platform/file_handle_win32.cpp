#include <cwchar>

#include "platform/file_handle.h"
#include "platform/wide_text_win32.h"

namespace platform {

FileHandle openFile(const char* path, const char* mode) {
    if (path == nullptr) return FileHandle();
    return FileHandle(::_wfopen(widen(path).c_str(), widen(mode).c_str()));
}

}  // namespace platform
