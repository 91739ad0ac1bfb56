#include "text/text_helpers.h"

namespace text {

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string trimmed(const std::string& text, const char* blanks) {
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(blanks) + 1 - first);
}

bool isDecimalDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

bool parseDecimal(const std::string& text, std::uint64_t max, std::uint64_t& value) {
    if (!isDecimalDigits(text)) {
        return false;
    }
    std::uint64_t result = 0;
    for (const char c : text) {
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (digit > max || result > (max - digit) / 10) {
            return false;
        }
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

bool splitHostPort(const std::string& authority, HostAndPort& parts) {
    // A '[' without ']' gives a hostEnd of 0 (npos + 1), as does a leading ':'.
    const std::size_t hostEnd = !authority.empty() && authority.front() == '['
                                    ? authority.find(']') + 1
                                    : authority.find(':');
    parts = HostAndPort();
    if (hostEnd == 0 && !authority.empty()) {
        return false;
    }
    if (hostEnd == std::string::npos || hostEnd >= authority.size()) {
        parts.host = authority;
        return true;
    }
    parts.host = authority.substr(0, hostEnd);
    if (authority[hostEnd] != ':') {
        return false;
    }
    parts.hasPort = true;
    parts.port = authority.substr(hostEnd + 1);
    return true;
}

}  // namespace text
