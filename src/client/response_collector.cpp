#include "client/response_collector.h"

#include "client/rest_response.h"
#include "text/text_helpers.h"

namespace {

// Space, tab, LF, CR, FF and VT.
const char* const kBlanks = " \t\n\r\f\v";
const char* const kPresent = "present";

}  // namespace

std::size_t collectBody(char* data, std::size_t size, std::size_t count, void* target) {
    const std::size_t bytes = size * count;
    static_cast<RestResponse*>(target)->body.append(data, bytes);
    return bytes;
}

std::size_t collectHeader(char* data, std::size_t size, std::size_t count, void* target) {
    const std::size_t bytes = size * count;
    auto& headers = static_cast<RestResponse*>(target)->headers;
    const std::string line(data, bytes);
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) {
        const std::string trimmed = text::trimmed(line, kBlanks);
        if (!trimmed.empty()) {
            headers[trimmed] = kPresent;
        }
        return bytes;
    }
    headers[text::trimmed(line.substr(0, colon), kBlanks)] =
        text::trimmed(line.substr(colon + 1), kBlanks);
    return bytes;
}
