#include <windows.h>

#include <climits>
#include <utility>

#include "platform/text_encoding.h"

namespace platform {

bool isUtf16Text(const unsigned char* bytes, std::size_t size) {
    // A null result pointer asks for every test the function knows.
    const int length = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    return ::IsTextUnicode(bytes, length, nullptr) != FALSE;
}

bool utf16LeToUtf8(const unsigned char* bytes, std::size_t size, std::string& out) {
    out.clear();
    std::wstring units;
    units.reserve(size / 2 + 1);
    for (std::size_t offset = 0; offset < size; offset += 2) {
        const unsigned high = offset + 1 < size ? bytes[offset + 1] : 0u;
        const wchar_t unit = static_cast<wchar_t>(bytes[offset] | (high << 8));
        if (unit == 0) break;
        units += unit;
    }
    // Without WC_ERR_INVALID_CHARS an unpaired surrogate would silently become
    // U+FFFD; failing instead keeps both kinds of system alike.
    const int needed = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, units.c_str(), -1,
                                             nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return false;  // the count includes the terminating NUL
    std::string converted(static_cast<std::size_t>(needed), '\0');
    if (::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, units.c_str(), -1, &converted[0],
                              needed, nullptr, nullptr) != needed) {
        return false;
    }
    converted.resize(static_cast<std::size_t>(needed - 1));
    out = std::move(converted);
    return true;
}

}  // namespace platform
