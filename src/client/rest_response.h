#pragma once

#include <cstdint>
#include <map>
#include <string>

// The client's own failure codes in RestResponse::code.
constexpr std::int32_t kRestTimedOutCode = 28;
constexpr std::int32_t kRestFailedCode = -1;

// Result of one HTTP client request.
struct RestResponse {
    // The HTTP status of the last response on success; 28 when the transfer
    // timed out; -1 on any other transfer failure. 28 is not an HTTP status:
    // callers tell the two apart by the code alone.
    std::int32_t code = 0;
    // The response body as received, any byte included; on failure the text
    // "Operation Timeout." or "Failed to query." instead.
    std::string body;
    // Response header lines by name (case as received; a later line replaces
    // an earlier one). A line without a colon, such as the status line, is a
    // name of its own with the value "present".
    std::map<std::string, std::string> headers;
    // The transfer was ended (a failure, code -1) because its body would
    // have passed the process's buffer budget: the upstream is not to blame.
    bool overBudget = false;
};
