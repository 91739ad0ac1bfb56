#pragma once

#include "config/allowed_origins.h"
#include "rd/rd_error.h"

struct mg_connection;

// Who may call the extension, when ALLOWED_ORIGINS restricts it. A request
// without an Origin header comes from a native program and is served as
// always; an unrestricted list refuses nothing. Stateless: any number of
// worker threads may use it at once.

// Why a request must not reach the upstream.
enum class CallerRefusal {
    kNone,
    kOriginNotAllowed,
    // The Host header names something other than this machine's loopback: a
    // page that rebinds its own host name to 127.0.0.1 would otherwise call
    // us as its own origin.
    kHostNotLoopback,
};

// The PidData errCode a refused request gets: the request's own headers are
// what is refused, not the device.
constexpr int kRefusedCallerError = RDSWrapperError::INVALID_PARAMETER;

// Whether `origin` (an Origin header, null when absent) may call: scheme and
// host compared ignoring case, "*." admitting every subdomain (not the host
// itself), a listed port matching exactly and a missing one any port.
bool isOriginAllowed(const AllowedOrigins& allowed, const char* origin);

// Whether a Host header names this machine's loopback: "localhost", an
// address in 127.0.0.0/8 or "[::1]", each with or without a port. An absent
// or empty Host counts as loopback: browsers always send one.
bool isLoopbackHost(const char* host);

// Why the request on `conn` may not be forwarded, or kNone.
CallerRefusal forwardRefusal(const AllowedOrigins& allowed, mg_connection* conn);
