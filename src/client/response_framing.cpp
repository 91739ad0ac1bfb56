#include "client/response_framing.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <string>

#include "text/text_helpers.h"

namespace {

const char* const kFieldBlanks = " \t\r\n";

bool equalsIgnoringCase(const std::string& text, const char* expected) {
    return text.size() == std::strlen(expected) &&
           std::equal(text.begin(), text.end(), expected, [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

}  // namespace

void ResponseFraming::onHeaderLine(const char* data, std::size_t size) {
    if (size >= 5 && std::memcmp(data, "HTTP/", 5) == 0) {
        *this = ResponseFraming();  // a new answer: an interim one is over
        return;
    }
    if (text::trimmed(std::string(data, size), kFieldBlanks).empty()) {
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
    const std::string name = text::trimmed(line.substr(0, colon), kFieldBlanks);
    const std::string value = text::trimmed(line.substr(colon + 1), kFieldBlanks);
    if (equalsIgnoringCase(name, "Content-Length")) {
        std::uint64_t length = 0;
        // Digits only, no sign, no exponent, no hex; malformed when it does not fit.
        if (!text::parseDecimal(value, std::numeric_limits<std::uint64_t>::max(), length) ||
            (hasLength_ && length != length_)) {
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
