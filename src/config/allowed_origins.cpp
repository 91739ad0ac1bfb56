#include "config/allowed_origins.h"

#include <cctype>

#include "text/escaped_text.h"
#include "text/text_helpers.h"

namespace {

const char* const kSchemeSeparator = "://";
const char* const kWildcardPrefix = "*.";
const char* const kListSeparators = " \t,\r\n";
constexpr int kHighestPort = 65535;

bool isSchemeText(const std::string& scheme) {
    if (scheme.empty() || !std::isalpha(static_cast<unsigned char>(scheme[0]))) {
        return false;
    }
    for (const char c : scheme) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

// A host name or IPv4 address: letters, digits, '-', '.' and '_', no empty label.
bool isHostName(const std::string& host) {
    if (host.empty() || host.front() == '.' || host.find("..") != std::string::npos) {
        return false;
    }
    for (const char c : host) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_') {
            return false;
        }
    }
    return true;
}

bool isIpv6Literal(const std::string& host) {
    if (host.size() < 4 || host.front() != '[' || host.back() != ']') {
        return false;
    }
    for (std::size_t i = 1; i + 1 < host.size(); ++i) {
        const char c = host[i];
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') {
            return false;
        }
    }
    return true;
}

// 1 to 65535 in decimal, at most five digits; 0 when not a port.
int parsePort(const std::string& digits) {
    std::uint64_t port = 0;
    if (digits.size() > 5 || !text::parseDecimal(digits, kHighestPort, port)) {
        return 0;
    }
    return static_cast<int>(port);
}

// Splits "host[:port]" (the host may be "[v6]"); false when it is malformed
// or the port is bad.
bool splitAuthority(const std::string& authority, std::string& host, int& port) {
    text::HostAndPort parts;
    const bool wellFormed = text::splitHostPort(authority, parts);
    host = wellFormed ? parts.host : authority;
    port = parts.hasPort ? parsePort(parts.port) : 0;
    return wellFormed && (!parts.hasPort || port != 0);
}

std::string patternText(const OriginPattern& pattern) {
    std::string text = pattern.scheme + kSchemeSeparator;
    if (pattern.anySubdomain) {
        text += kWildcardPrefix;
    }
    text += pattern.host;
    if (pattern.port != 0) {
        text += ":" + std::to_string(pattern.port);
    }
    return text;
}

}  // namespace

bool parseOrigin(const std::string& text, bool allowWildcard, OriginPattern& origin) {
    const std::size_t separator = text.find(kSchemeSeparator);
    if (separator == std::string::npos) {
        return false;
    }
    origin.scheme = text::lowerCase(text.substr(0, separator));
    std::string authority = text.substr(separator + 3);
    origin.anySubdomain = allowWildcard && authority.rfind(kWildcardPrefix, 0) == 0;
    if (origin.anySubdomain) {
        authority.erase(0, 2);
    }
    if (!isSchemeText(origin.scheme) || authority.empty() ||
        !splitAuthority(authority, origin.host, origin.port)) {
        return false;
    }
    origin.host = text::lowerCase(origin.host);
    return isHostName(origin.host) || (!origin.anySubdomain && isIpv6Literal(origin.host));
}

AllowedOrigins parseAllowedOrigins(const std::string& list) {
    AllowedOrigins allowed;
    std::size_t start = list.find_first_not_of(kListSeparators);
    while (start != std::string::npos) {
        const std::size_t end = list.find_first_of(kListSeparators, start);
        const std::string entry = list.substr(start, end - start);
        OriginPattern pattern;
        if (parseOrigin(entry, true, pattern)) {
            allowed.patterns.push_back(pattern);
        } else {
            allowed.invalidEntries.push_back(entry);
        }
        allowed.restricted = true;
        start = end == std::string::npos ? end : list.find_first_not_of(kListSeparators, end);
    }
    return allowed;
}

std::string describeAllowedOrigins(const AllowedOrigins& allowed) {
    if (!allowed.restricted) {
        return "every origin";
    }
    std::string text;
    for (const OriginPattern& pattern : allowed.patterns) {
        text += (text.empty() ? "" : " ") + patternText(pattern);
    }
    if (allowed.patterns.empty()) {
        text = "none";
    }
    if (!allowed.invalidEntries.empty()) {
        text += " (ignored, not scheme://host[:port]:";
        for (const std::string& entry : allowed.invalidEntries) {
            text += " " + text::escapeControlBytes(entry);
        }
        text += ")";
    }
    return text;
}
