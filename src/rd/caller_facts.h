#pragma once

#include <optional>
#include <string>

#include "config/allowed_origins.h"
#include "platform/connection_owner.h"
#include "rd/origin_policy.h"
#include "rd/rd_response.h"

struct mg_connection;

// What the RD handler knows of a request's caller, read once where the
// request enters the handler: nothing below it reads the caller's headers
// again. Holds only facts of the caller, none of the request's path or body.
struct CallerFacts {
    // The Origin and Host headers, when sent.
    std::optional<std::string> origin;
    std::optional<std::string> host;
    // Why the caller may not reach the upstream, or kNone.
    CallerRefusal refusal = CallerRefusal::kNone;
    // The cross-origin lines of every answer to it; a preflight's too.
    CrossOriginGrant grant;
    // The connection it came on: its own end, and ours.
    platform::TcpEndpoint remote;
    platform::TcpEndpoint local;
};

// The caller of the request on `conn`, judged against `allowed`.
CallerFacts readCallerFacts(const AllowedOrigins& allowed, mg_connection* conn);
