#include <windows.h>
// shlobj.h needs the definitions of windows.h.
#include <shlobj.h>

#include "platform/data_folder.h"

namespace platform {

std::string commonAppDataFolder() {
    char folder[512] = {};
    const HRESULT result =
        ::SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, folder);
    return SUCCEEDED(result) ? std::string(folder) : std::string();
}

}  // namespace platform
