#pragma once

// For the Windows sources of the platform only: the program keeps text in
// UTF-8, Windows keeps names in UTF-16, and the ANSI code page in between
// turns every character outside it into '?'. Paths therefore cross the
// boundary here and go to the wide ("W") functions.
#include <windows.h>

#include <string>

namespace platform {

inline std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int size = static_cast<int>(utf8.size());
    const int needed = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(needed > 0 ? needed : 0), L'\0');
    if (needed > 0) ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &wide[0], needed);
    return wide;
}

inline std::string narrow(const wchar_t* wide, int length = -1) {
    if (wide == nullptr || length == 0) return std::string();
    const int needed =
        ::WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string utf8(static_cast<std::size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, length, &utf8[0], needed, nullptr, nullptr);
    if (length < 0) utf8.pop_back();  // the converted terminator
    return utf8;
}

inline std::string narrow(const std::wstring& wide) {
    return narrow(wide.c_str(), static_cast<int>(wide.size()));
}

}  // namespace platform
