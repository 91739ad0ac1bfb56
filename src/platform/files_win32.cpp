#include <windows.h>

#include <memory>

#include "platform/files.h"
#include "platform/wide_text_win32.h"

namespace platform {

bool fileExists(const std::string& path) {
    return ::GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool replaceFile(const std::string& from, const std::string& to) {
    return ::MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING) !=
           FALSE;
}

bool createDirectory(const std::string& path) {
    return ::CreateDirectoryW(widen(path).c_str(), nullptr) != FALSE ||
           ::GetLastError() == ERROR_ALREADY_EXISTS;
}

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using FileOwner = std::unique_ptr<void, HandleCloser>;

// The system's text for `error`, without its closing line end.
std::string errorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string words = length > 0 ? narrow(text, static_cast<int>(length)) : std::string();
    ::LocalFree(text);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r')) words.pop_back();
    return words.empty() ? "error " + std::to_string(error) : words;
}

FileRead unreadable(DWORD error, std::string& contents, std::string& reason) {
    reason = errorText(error);
    contents.clear();
    return FileRead::kUnreadable;
}

}  // namespace

FileRead readWholeFile(const std::string& path, std::string& contents, std::string& reason) {
    contents.clear();
    // Every sharing allowed on our side: only a holder that allows none
    // (a sharing violation) or a folder in the file's place keeps us out.
    const HANDLE opened = ::CreateFileW(widen(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return FileRead::kMissing;
        }
        return unreadable(error, contents, reason);
    }
    const FileOwner file(opened);
    char buffer[4096];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) {
            return unreadable(::GetLastError(), contents, reason);
        }
        if (n == 0) return FileRead::kRead;
        contents.append(buffer, n);
    }
}

}  // namespace platform
