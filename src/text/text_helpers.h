#pragma once

#include <cstdint>
#include <string>

// Small helpers for protocol and configuration text, at the bottom of the
// layers so that every folder may use them. Text is bytes: only the ASCII
// letters have a case, and nothing depends on the C library's locale.
namespace text {

// `text` with the ASCII capitals made lower-case; other bytes unchanged.
std::string lowerCase(std::string text);

// `text` without the leading and trailing bytes that `blanks` lists; empty
// when it holds nothing else.
std::string trimmed(const std::string& text, const char* blanks);

// One or more decimal digits and nothing else (no sign, no blank).
bool isDecimalDigits(const std::string& text);

// Reads decimal digits (as isDecimalDigits) of a value of at most `max` into
// `value`; false for any other text, also where the value would overflow.
bool parseDecimal(const std::string& text, std::uint64_t max, std::uint64_t& value);

// "host[:port]", where the host may be a bracketed IPv6 literal "[v6]".
struct HostAndPort {
    std::string host;
    bool hasPort = false;
    std::string port;  // the text after ':', possibly empty or not a number
};

// Splits `authority` at the ':' after the host. False when the host is empty
// (a leading ':'), a '[' has no ']' or "[v6]" is followed by anything but ':'.
bool splitHostPort(const std::string& authority, HostAndPort& parts);

}  // namespace text
