#include "rd/caller_facts.h"

#include <civetweb.h>

#include <cstring>

namespace {

std::optional<std::string> header(mg_connection* conn, const char* name) {
    const char* value = mg_get_header(conn, name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

bool isPreflight(mg_connection* conn) {
    return std::strcmp(mg_get_request_info(conn)->request_method, "OPTIONS") == 0;
}

// Browsers send a preflight before a cross-origin request with custom
// headers (typically Content-Type on CAPTURE) and refuse the request unless
// the answer allows those headers. Older Chromium also asks, for a public
// page calling loopback, whether a private network may be reached.
void grantPreflightAsks(mg_connection* conn, CrossOriginGrant& grant) {
    const std::optional<std::string> requested = header(conn, "Access-Control-Request-Headers");
    if (requested && !requested->empty()) {
        grant.allowHeaders = requested;
    }
    grant.allowPrivateNetwork = header(conn, "Access-Control-Request-Private-Network") == "true";
}

}  // namespace

CallerFacts readCallerFacts(const AllowedOrigins& allowed, mg_connection* conn) {
    CallerFacts caller;
    caller.origin = header(conn, "Origin");
    caller.host = header(conn, "Host");
    const CallerVerdict verdict = judgeCaller(allowed, caller.origin, caller.host);
    caller.refusal = verdict.refusal;
    caller.grant = echoedGrant(conn);
    caller.grant.admitOrigin = verdict.originAdmitted;
    if (isPreflight(conn)) {
        grantPreflightAsks(conn, caller.grant);
    }
    return caller;
}
