#include "rd/caller_facts.h"

#include <civetweb.h>

#include "protocol/rd_protocol.h"

namespace {

std::optional<std::string> header(mg_connection* conn, const char* name) {
    const char* value = mg_get_header(conn, name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

// Both ends of the connection: the server listens on one loopback address
// of the caller's family, on the port the request came to.
void readEndpoints(mg_connection* conn, CallerFacts& caller) {
    const mg_request_info* info = mg_get_request_info(conn);
    caller.remote = platform::TcpEndpoint{info->remote_addr, info->remote_port};
    const bool ipv6 = caller.remote.address.find(':') != std::string::npos;
    caller.local =
        platform::TcpEndpoint{ipv6 ? kLoopbackAddress6 : kLoopbackAddress, info->server_port};
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
    readEndpoints(conn, caller);
    return caller;
}
