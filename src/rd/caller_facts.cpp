#include "rd/caller_facts.h"

#include <civetweb.h>

namespace {

std::optional<std::string> header(mg_connection* conn, const char* name) {
    const char* value = mg_get_header(conn, name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
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
    grantPreflightAsks(conn, caller.grant);
    return caller;
}
