#include <windows.h>
// After windows.h.
#include <shellapi.h>

#include <cstdlib>

#include "platform/arguments.h"
#include "platform/wide_text_win32.h"

namespace platform {

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr || count != argc) {
        if (wide != nullptr) ::LocalFree(wide);
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(narrow(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

std::string environmentValue(const char* name) {
    const wchar_t* value = ::_wgetenv(widen(name).c_str());
    return value != nullptr ? narrow(value) : std::string();
}

}  // namespace platform
