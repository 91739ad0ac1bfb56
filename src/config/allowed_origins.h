#pragma once

#include <string>
#include <vector>

// The web origins that may call the extension (ALLOWED_ORIGINS in
// config.ini), as a value the run loop hands to the request handler.

// An origin as scheme://host[:port], or a list entry of that form whose host
// may start with "*." (every subdomain of the rest).
struct OriginPattern {
    std::string scheme;  // lower case
    std::string host;    // lower case, without "*."; an IPv6 address keeps its brackets
    bool anySubdomain = false;
    int port = 0;  // 0: not given
};

struct AllowedOrigins {
    // False when ALLOWED_ORIGINS is absent or blank: every origin may call.
    bool restricted = false;
    std::vector<OriginPattern> patterns;
    // Entries that are not scheme://host[:port]: they admit nothing.
    std::vector<std::string> invalidEntries;
};

// Restricted with no entries: every request that carries an Origin is
// refused, as when its origin is not listed.
inline AllowedOrigins noOriginAllowed() {
    AllowedOrigins none;
    none.restricted = true;
    return none;
}

// Parses one origin; with `allowWildcard`, a host may start with "*.".
// False when `text` is not scheme://host[:port] (no path, no user part, a
// port of 1 to 65535).
bool parseOrigin(const std::string& text, bool allowWildcard, OriginPattern& origin);

// Parses a list separated by blanks, tabs or commas. A list with entries,
// valid or not, is restricted: an entry mistyped never opens the door wider.
AllowedOrigins parseAllowedOrigins(const std::string& list);

// "every origin", or the entries in force separated by blanks, followed by
// "(ignored: ...)" for invalid ones. Invalid entries are shown with their
// control bytes escaped.
std::string describeAllowedOrigins(const AllowedOrigins& allowed);
