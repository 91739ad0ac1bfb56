#include "rd/origin_policy.h"

#include <cstdint>
#include <string>

#include "text/text_helpers.h"

namespace {

const char* const kLoopbackName = "localhost";
const char* const kIpv6Loopback = "[::1]";
constexpr int kLoopbackFirstOctet = 127;

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A browser leaves out the scheme's default port: "https://a:443" is "https://a".
int effectivePort(const OriginPattern& origin) {
    if (origin.port != 0) {
        return origin.port;
    }
    return origin.scheme == "https" ? 443 : origin.scheme == "http" ? 80 : 0;
}

bool matches(const OriginPattern& pattern, const OriginPattern& origin) {
    if (pattern.scheme != origin.scheme) {
        return false;
    }
    if (pattern.port != 0 && effectivePort(pattern) != effectivePort(origin)) {
        return false;
    }
    if (!pattern.anySubdomain) {
        return pattern.host == origin.host;
    }
    // At least one label before ".host": "evilbank.example" is no subdomain
    // of "bank.example".
    return origin.host.size() > pattern.host.size() + 1 &&
           endsWith(origin.host, "." + pattern.host);
}

// Four decimal numbers of at most 255 separated by dots, the first 127.
bool isLoopbackIpv4(const std::string& address) {
    int octets = 0;
    std::size_t start = 0;
    while (start <= address.size()) {
        std::size_t end = address.find('.', start);
        if (end == std::string::npos) {
            end = address.size();
        }
        std::uint64_t octet = 0;
        if (end - start > 3 ||
            !text::parseDecimal(address.substr(start, end - start), 255, octet) ||
            (octets == 0 && octet != static_cast<std::uint64_t>(kLoopbackFirstOctet))) {
            return false;
        }
        ++octets;
        start = end + 1;
    }
    return octets == 4;
}

// The host part of a Host header; empty when it is malformed or its port is
// not a number.
std::string hostWithoutPort(const std::string& host) {
    text::HostAndPort parts;
    if (!text::splitHostPort(host, parts) ||
        (parts.hasPort && !text::isDecimalDigits(parts.port))) {
        return std::string();
    }
    return parts.host;
}

bool isOriginAllowed(const AllowedOrigins& allowed, const std::optional<std::string>& origin) {
    if (!allowed.restricted || !origin) {
        return true;
    }
    OriginPattern caller;
    if (!parseOrigin(*origin, false, caller)) {
        return false;  // "null" (a sandboxed page, a file) or a malformed origin
    }
    for (const OriginPattern& pattern : allowed.patterns) {
        if (matches(pattern, caller)) {
            return true;
        }
    }
    return false;
}

bool isLoopbackHost(const std::optional<std::string>& host) {
    if (!host || host->empty()) {
        return true;
    }
    const std::string name = text::lowerCase(hostWithoutPort(*host));
    return name == kLoopbackName || name == kIpv6Loopback || isLoopbackIpv4(name);
}

}  // namespace

CallerVerdict judgeCaller(const AllowedOrigins& allowed, const std::optional<std::string>& origin,
                          const std::optional<std::string>& host) {
    CallerVerdict verdict;
    if (!allowed.restricted) {
        return verdict;
    }
    verdict.originAdmitted = isOriginAllowed(allowed, origin);
    if (!verdict.originAdmitted) {
        verdict.refusal = CallerRefusal::kOriginNotAllowed;
    } else if (!isLoopbackHost(host)) {
        verdict.refusal = CallerRefusal::kHostNotLoopback;
    }
    return verdict;
}
