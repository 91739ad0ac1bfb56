#include "client/response_collector.h"

#include "client/rest_response.h"

namespace {

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
        const std::string trimmed = trimBlanks(line);
        if (!trimmed.empty()) {
            headers[trimmed] = kPresent;
        }
        return bytes;
    }
    headers[trimBlanks(line.substr(0, colon))] = trimBlanks(line.substr(colon + 1));
    return bytes;
}

std::string trimBlanks(const std::string& text) {
    const std::size_t last = text.find_last_not_of(kBlanks);
    if (last == std::string::npos) {
        return std::string();
    }
    const std::size_t first = text.find_first_not_of(kBlanks);
    return text.substr(first, last + 1 - first);
}
