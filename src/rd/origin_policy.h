#pragma once

#include <optional>
#include <string>

#include "config/allowed_origins.h"
#include "rd/rd_error.h"

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

// What the rules say of one caller: whether its origin may call (an origin
// that may not gets no cross-origin line) and why it may not be forwarded.
struct CallerVerdict {
    bool originAdmitted = true;
    CallerRefusal refusal = CallerRefusal::kNone;
};

// Judges the Origin and Host headers of a request (each absent when not
// sent). An origin is admitted when its scheme and host match a pattern,
// ignoring case, "*." admitting every subdomain (not the host itself), a
// listed port matching exactly and a missing one any port. When the list
// restricts, a forward is refused an origin not admitted, and a Host other
// than this machine's loopback ("localhost", an address in 127.0.0.0/8 or
// "[::1]", each with or without a port; an absent or empty Host counts as
// loopback: browsers always send one).
CallerVerdict judgeCaller(const AllowedOrigins& allowed, const std::optional<std::string>& origin,
                          const std::optional<std::string>& host);
