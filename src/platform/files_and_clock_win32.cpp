#include <windows.h>

#include "platform/files_and_clock.h"
#include "platform/wide_text_win32.h"

namespace platform {

void sleepMs(unsigned milliseconds) { ::Sleep(milliseconds); }

std::uint32_t tickCountMs() { return static_cast<std::uint32_t>(::GetTickCount()); }

std::string executablePath() {
    wchar_t buffer[32768];
    const DWORD size = static_cast<DWORD>(sizeof buffer / sizeof buffer[0]);
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer, size);
    return (n > 0 && n < size) ? narrow(buffer, static_cast<int>(n)) : std::string();
}

std::string currentDirectory() {
    wchar_t buffer[32768];
    const DWORD n =
        ::GetCurrentDirectoryW(static_cast<DWORD>(sizeof buffer / sizeof buffer[0]), buffer);
    return n > 0 && n < sizeof buffer / sizeof buffer[0] ? narrow(buffer, static_cast<int>(n))
                                                         : std::string();
}

bool changeDirectory(const std::string& path) {
    return ::SetCurrentDirectoryW(widen(path).c_str()) != FALSE;
}

bool fileExists(const std::string& path) {
    return ::GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool replaceFile(const std::string& from, const std::string& to) {
    return ::MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING) !=
           FALSE;
}

bool localTime(std::time_t when, std::tm& out) { return ::localtime_s(&out, &when) == 0; }

bool createDirectory(const std::string& path) {
    return ::CreateDirectoryW(widen(path).c_str(), nullptr) != FALSE ||
           ::GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace platform
