#include <cstdint>

#include "platform/text_encoding.h"

namespace platform {

namespace {

std::uint32_t unitAt(const unsigned char* bytes, std::size_t size, std::size_t index) {
    const std::size_t offset = index * 2;
    const std::uint32_t high = offset + 1 < size ? bytes[offset + 1] : 0u;
    return bytes[offset] | (high << 8);
}

void appendUtf8(std::uint32_t codePoint, std::string& out) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

}  // namespace

bool isUtf16Text(const unsigned char* bytes, std::size_t size) {
    if (size < 2 || size % 2 != 0) return false;
    if (bytes[0] == 0xFF && bytes[1] == 0xFE) return true;
    if (bytes[0] == 0xFE && bytes[1] == 0xFF) return false;
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) return false;
    return bytes[0] >= 0x01 && bytes[0] <= 0x7F && bytes[1] == 0x00;
}

bool utf16LeToUtf8(const unsigned char* bytes, std::size_t size, std::string& out) {
    out.clear();
    const std::size_t units = (size + 1) / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t unit = unitAt(bytes, size, i);
        if (unit == 0) break;
        std::uint32_t codePoint = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const std::uint32_t low = i + 1 < units ? unitAt(bytes, size, i + 1) : 0u;
            if (low < 0xDC00 || low > 0xDFFF) {
                out.clear();
                return false;
            }
            codePoint = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            out.clear();
            return false;
        }
        appendUtf8(codePoint, out);
    }
    return true;
}

}  // namespace platform
