#include <windows.h>

#include "platform/process_paths.h"
#include "platform/wide_text_win32.h"

namespace platform {

namespace {

// The longest path the wide API takes.
constexpr DWORD kMaxWidePath = 32768;

}  // namespace

std::string executablePath() {
    wchar_t buffer[kMaxWidePath];
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer, kMaxWidePath);
    return (n > 0 && n < kMaxWidePath) ? narrow(buffer, static_cast<int>(n)) : std::string();
}

std::string currentDirectory() {
    wchar_t buffer[kMaxWidePath];
    const DWORD n = ::GetCurrentDirectoryW(kMaxWidePath, buffer);
    return n > 0 && n < kMaxWidePath ? narrow(buffer, static_cast<int>(n)) : std::string();
}

bool changeDirectory(const std::string& path) {
    return ::SetCurrentDirectoryW(widen(path).c_str()) != FALSE;
}

}  // namespace platform
