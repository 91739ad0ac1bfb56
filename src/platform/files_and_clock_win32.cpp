#include <windows.h>
#include <direct.h>
#include <shlwapi.h>

#include "platform/files_and_clock.h"

namespace platform {

void sleepMs(unsigned milliseconds) { ::Sleep(milliseconds); }

std::uint32_t tickCountMs() { return static_cast<std::uint32_t>(::GetTickCount()); }

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

bool fileExists(const std::string& path) { return ::PathFileExistsA(path.c_str()) != FALSE; }

bool replaceFile(const std::string& from, const std::string& to) {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool localTime(std::time_t when, std::tm& out) { return ::localtime_s(&out, &when) == 0; }

bool createDirectory(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE ||
           ::GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace platform
