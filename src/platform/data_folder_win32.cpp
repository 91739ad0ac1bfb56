#include <windows.h>
// shlobj.h needs the definitions of windows.h.
#include <shlobj.h>

#include "platform/data_folder.h"
#include "platform/wide_text_win32.h"

namespace platform {

std::string commonAppDataFolder() {
    wchar_t folder[MAX_PATH] = {};
    const HRESULT result =
        ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, folder);
    return SUCCEEDED(result) ? narrow(folder) : std::string();
}

}  // namespace platform
