#include <windows.h>
// After windows.h, which they rest on.
#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <sddl.h>

#include <cwchar>
#include <memory>

#include "platform/file_handle.h"
#include "platform/wide_text_win32.h"

namespace platform {

FileHandle openFile(const char* path, const char* mode) {
    if (path == nullptr) return FileHandle();
    return FileHandle(::_wfopen(widen(path).c_str(), widen(mode).c_str()));
}

namespace {

// Protected, so nothing of the folder's access (Users read) is inherited.
// OWNER RIGHTS keeps a log that a standard user's foreground run created
// writable for that user, and only for them.
constexpr const wchar_t* kPrivateLogDacl = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;OW)";

struct LocalFreer {
    void operator()(void* memory) const { ::LocalFree(memory); }
};

std::FILE* streamOf(HANDLE handle) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = ::_fdopen(fd, "ab");
    if (file == nullptr) ::_close(fd);
    return file;
}

}  // namespace

FileHandle openPrivateLog(const std::string& path) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kPrivateLogDacl, SDDL_REVISION_1,
                                                                &raw, nullptr)) {
        return openFile(path.c_str(), "ab");
    }
    std::unique_ptr<void, LocalFreer> descriptor(raw);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, raw, FALSE};
    const std::wstring wide = widen(path);
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const HANDLE handle =
        ::CreateFileW(wide.c_str(), GENERIC_WRITE | READ_CONTROL | WRITE_DAC, kShare, &attributes,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    // Someone else's file whose access this process may not change.
    if (handle == INVALID_HANDLE_VALUE) return openFile(path.c_str(), "ab");
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL dacl = nullptr;
        if (::GetSecurityDescriptorDacl(raw, &present, &dacl, &defaulted)) {
            ::SetSecurityInfo(handle, SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, dacl, nullptr);
        }
    }
    return FileHandle(streamOf(handle));
}

}  // namespace platform
