#include "client/response_framing.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <string>

namespace {

const char* const kFieldBlanks = " \t\r\n";

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(kFieldBlanks);
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(kFieldBlanks) + 1 - first);
}

bool equalsIgnoringCase(const std::string& text, const char* expected) {
    return text.size() == std::strlen(expected) &&
           std::equal(text.begin(), text.end(), expected, [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// Digits only, no sign, no exponent, no hex; false when it does not fit.
bool parsePlainDecimal(const std::string& text, std::uint64_t& value) {
    if (text.empty()) {
        return false;
    }
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    return true;
}

}  // namespace

void ResponseFraming::onHeaderLine(const char* data, std::size_t size) {
    if (size >= 5 && std::memcmp(data, "HTTP/", 5) == 0) {
        *this = ResponseFraming();  // a new answer: an interim one is over
        return;
    }
    if (trimmed(std::string(data, size)).empty()) {
        headEnded_ = true;
        return;
    }
    if (!headEnded_) {
        onField(data, size);  // later lines are trailers, which frame nothing
    }
}

void ResponseFraming::onField(const char* data, std::size_t size) {
    const std::string line(data, size);
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) {
        return;
    }
    const std::string name = trimmed(line.substr(0, colon));
    const std::string value = trimmed(line.substr(colon + 1));
    if (equalsIgnoringCase(name, "Content-Length")) {
        std::uint64_t length = 0;
        if (!parsePlainDecimal(value, length) || (hasLength_ && length != length_)) {
            malformed_ = true;
        }
        hasLength_ = true;
        length_ = length;
    } else if (equalsIgnoringCase(name, "Transfer-Encoding")) {
        chunked_ = equalsIgnoringCase(value, "chunked");
        malformed_ = malformed_ || !chunked_;
    }
}

bool ResponseFraming::isWhole(std::size_t bodyBytes) const {
    return headEnded_ && !malformed_ &&
           (chunked_ || !hasLength_ || length_ == static_cast<std::uint64_t>(bodyBytes));
}
