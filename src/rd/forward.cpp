#include "rd/forward.h"

#include <civetweb.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <utility>

#include "client/rest_response.h"
#include "config/device_model.h"
#include "platform/account_identity.h"
#include "platform/memory.h"
#include "rd/rd_error.h"
#include "rd/upstream.h"
#include "text/text_helpers.h"

namespace {

constexpr std::size_t kReadChunkBytes = 16 * 1024;
// After a forward that held this much, freed memory goes back to the system.
constexpr std::size_t kReleaseAfterBytes = 1024 * 1024;

// The engine accepts no transfer coding but "chunked" and "identity".
bool isChunked(mg_connection* conn) {
    const char* encoding = mg_get_header(conn, "Transfer-Encoding");
    if (encoding == nullptr) {
        return false;
    }
    return text::lowerCase(encoding) == "chunked";
}

enum class BodyRead { Complete, Invalid, OverBudget };

// When a request body must be in whole.
using BodyDeadline = std::chrono::steady_clock::time_point;

// Reads until `wanted` bytes have arrived (or, for -1, the body's end). The
// buffer grows only with what arrives and only as far as `share` grants.
// Each read ends within the engine's request time-out, so a body still
// arriving at `deadline` is cut at most that much later.
BodyRead readUpTo(mg_connection* conn, std::int64_t wanted, BodyDeadline deadline,
                  BudgetShare& share, std::size_t& charged, std::string& body) {
    char chunk[kReadChunkBytes];
    while (wanted < 0 || static_cast<std::int64_t>(body.size()) < wanted) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return BodyRead::Invalid;  // trickled or stalled
        }
        const std::int64_t left = wanted < 0 ? static_cast<std::int64_t>(sizeof chunk)
                                             : wanted - static_cast<std::int64_t>(body.size());
        const int n = mg_read(conn, chunk,
                              static_cast<std::size_t>(std::min<std::int64_t>(
                                  left, static_cast<std::int64_t>(sizeof chunk))));
        if (n == 0 && wanted < 0) {
            return BodyRead::Complete;  // the last chunk
        }
        if (n <= 0) {
            return BodyRead::Invalid;  // ended, stalled or past the engine's cap
        }
        if (!chargeBufferGrowth(&share, body, static_cast<std::size_t>(n), charged)) {
            return BodyRead::OverBudget;
        }
        body.append(chunk, static_cast<std::size_t>(n));
    }
    return BodyRead::Complete;
}

// The bytes Content-Length announces, or a chunked body to its end; no body
// without either.
BodyRead readRequestBody(mg_connection* conn, BodyDeadline deadline, BudgetShare& share,
                         std::string& body) {
    const std::int64_t declared = mg_get_request_info(conn)->content_length;
    std::size_t charged = 0;
    body.clear();
    if (isChunked(conn)) {
        return readUpTo(conn, -1, deadline, share, charged, body);
    }
    if (declared <= 0) {
        return BodyRead::Complete;
    }
    charged = static_cast<std::size_t>(declared);
    if (!share.grow(charged)) {
        return BodyRead::OverBudget;
    }
    body.reserve(charged);
    return readUpTo(conn, declared, deadline, share, charged, body);
}

// What sets the verbs apart: the path they are forwarded on, whether a body
// goes upstream, and the upstream request (none: the discovery answer that
// identified the upstream is relayed, as text up to its first NUL byte).
struct VerbRoute {
    const char* path;
    bool readsBody;
    RestResponse (*ask)(int port, const std::string& body, const TransferLimits& limits);
};

const VerbRoute& routeOf(UpstreamVerb verb) {
    static const VerbRoute kCapture{kCapturePath, true, queryUpstreamCapture};
    static const VerbRoute kDeviceInfo{
        kDeviceInfoPath, false, [](int port, const std::string&, const TransferLimits& limits) {
            return queryUpstreamDeviceInfo(port, limits);
        }};
    static const VerbRoute kRdService{kUpstreamDiscoveryPath, false, nullptr};
    return verb == UpstreamVerb::Capture      ? kCapture
           : verb == UpstreamVerb::DeviceInfo ? kDeviceInfo
                                              : kRdService;
}

ForwardOutcome& end(ForwardOutcome& outcome, ForwardEnd how) {
    outcome.end = how;
    return outcome;
}

ForwardEnd refusalEnd(CallerRefusal refusal) {
    return refusal == CallerRefusal::kOriginNotAllowed ? ForwardEnd::kOriginNotAllowed
                                                       : ForwardEnd::kHostNotLoopback;
}

// The caller, the path and the declared body size; false when `outcome`
// says why not.
bool admit(ForwardingState& state, const VerbRoute& route, const CallerFacts& caller,
           mg_connection* conn, ForwardOutcome& outcome) {
    const mg_request_info* request = mg_get_request_info(conn);
    if (caller.refusal != CallerRefusal::kNone) {
        end(outcome, refusalEnd(caller.refusal));
    } else if (std::strcmp(request->local_uri, route.path) != 0) {
        end(outcome, ForwardEnd::kUnsupportedPath);
    } else if (route.readsBody &&
               request->content_length >
                   static_cast<std::int64_t>(state.options.limits.maxRequestBodyBytes)) {
        end(outcome, ForwardEnd::kBodyInvalid);  // refused unread
    }
    return outcome.end == ForwardEnd::kRelayed;
}

bool readBody(mg_connection* conn, BodyDeadline deadline, BudgetShare& share, std::string& body,
              ForwardOutcome& outcome) {
    switch (readRequestBody(conn, deadline, share, body)) {
        case BodyRead::Complete:
            return true;
        case BodyRead::Invalid:
            end(outcome, ForwardEnd::kBodyInvalid);
            break;
        case BodyRead::OverBudget:
            end(outcome, ForwardEnd::kBudgetSpent);
            break;
    }
    return false;
}

// Runs discovery, its answers held within the forward's share too; the
// one that identified the upstream goes to `identifying` when the verb
// relays it. False when `outcome` says why no upstream is asked.
// Only listeners of a system account, of this process's account or of the
// caller's own are probed (rd/listener_trust.h).
bool discover(ForwardingState& state, ForwardHold& hold, const VerbRoute& route,
              const CallerFacts& caller, const std::vector<int>& ownPorts,
              RestResponse& identifying, std::string& connectAddress, ForwardOutcome& outcome) {
    TransferLimits base;
    base.cancel = &state.stop;
    base.budget = &hold.share();
    base.handles = &state.handles;
    ListenerTrust trust(state.account, caller.local, caller.remote);
    RefusedListener refused;
    const int port = discoverUpstreamPort(state.options.discovery, state.options.limits, ownPorts,
                                          trust, readDeviceModel(state.options.dataDirectory()),
                                          base, route.ask == nullptr ? &identifying : nullptr,
                                          &connectAddress, &refused);
    if (port < 0 && hold.share().refused()) {
        end(outcome, ForwardEnd::kBudgetSpent);
    } else if (port < 0 && refused.port > 0) {
        end(outcome, ForwardEnd::kUpstreamNotTrusted);
        outcome.upstreamPort = refused.port;
        outcome.refusedOwner = platform::accountName(refused.owner);
    } else if (port < 0) {
        end(outcome, ForwardEnd::kNoUpstreamFound);
    }
    if (port < 0) {
        return false;
    }
    outcome.upstreamPort = port;
    return true;
}

// The forward's own request: to the address discovery found it on, with
// the transfer handles of earlier forwards.
TransferLimits answerLimits(ForwardingState& state, BudgetShare& share,
                            std::string connectAddress) {
    TransferLimits limits;
    limits.maxBodyBytes = state.options.limits.maxUpstreamAnswerBytes;
    limits.timeoutSeconds = state.options.limits.upstreamTimeoutSeconds;
    limits.cancel = &state.stop;
    limits.budget = &share;
    limits.handles = &state.handles;
    limits.connectAddress = std::move(connectAddress);
    return limits;
}

// The upstream's answer, or why it cannot be relayed.
ForwardOutcome& relay(ForwardOutcome& outcome, RestResponse answer, const VerbRoute& route) {
    outcome.upstreamCode = answer.code;
    if (answer.overBudget) {
        return end(outcome, ForwardEnd::kBudgetSpent);
    }
    if (answer.code != 200) {
        return end(outcome, ForwardEnd::kUpstreamFailed);
    }
    outcome.answer = std::move(answer.body);
    if (route.ask == nullptr) {
        // Relayed as text, up to its first NUL byte.
        outcome.answer.resize(std::strlen(outcome.answer.c_str()));
    }
    return outcome;
}

}  // namespace

ForwardHold::~ForwardHold() {
    if (share_.release() >= kReleaseAfterBytes) {
        platform::releaseFreedMemory();
    }
    if (counted_) {
        std::lock_guard<std::mutex> lock(state_.mutex);
        state_.inFlight.fetch_sub(1);
        state_.drained.notify_all();
    }
}

bool ForwardHold::takePlace() {
    counted_ = true;
    return state_.inFlight.fetch_add(1) < state_.options.limits.maxConcurrentForwards();
}

int errCodeOf(ForwardEnd end) {
    switch (end) {
        case ForwardEnd::kRelayed:
            return 0;
        case ForwardEnd::kOriginNotAllowed:
        case ForwardEnd::kHostNotLoopback:
            return kRefusedCallerError;
        case ForwardEnd::kUnsupportedPath:
            return RDSWrapperError::UNSUPPORTED;
        case ForwardEnd::kBodyInvalid:
            return RDSWrapperError::INVALID_DATA;
        case ForwardEnd::kEveryPlaceTaken:
        case ForwardEnd::kBudgetSpent:
        case ForwardEnd::kNoUpstreamFound:
        case ForwardEnd::kUpstreamNotTrusted:
        case ForwardEnd::kUpstreamFailed:
            break;
    }
    return RDSWrapperError::RDSERVICE_NOT_AVAILABLE;
}

ForwardOutcome forward(ForwardingState& state, ForwardHold& hold, UpstreamVerb verb,
                       const CallerFacts& caller, mg_connection* conn,
                       const std::vector<int>& ownPorts) {
    // The head has just been read: the body's time starts now.
    const BodyDeadline bodyDeadline =
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(state.options.limits.requestBodyDeadlineMs);
    const VerbRoute& route = routeOf(verb);
    ForwardOutcome outcome;
    if (!admit(state, route, caller, conn, outcome)) {
        return outcome;
    }
    std::string body;
    if (route.readsBody && !readBody(conn, bodyDeadline, hold.share(), body, outcome)) {
        return outcome;
    }
    // Only a whole request takes a place: clients that trickle their bodies
    // keep none from the others.
    if (!hold.takePlace()) {
        return end(outcome, ForwardEnd::kEveryPlaceTaken);
    }
    RestResponse identifying;
    std::string connectAddress;
    if (!discover(state, hold, route, caller, ownPorts, identifying, connectAddress, outcome)) {
        return outcome;
    }
    if (route.ask == nullptr) {
        return relay(outcome, std::move(identifying), route);
    }
    // The request goes to the port found, its body unchanged.
    const TransferLimits limits = answerLimits(state, hold.share(), std::move(connectAddress));
    return relay(outcome, route.ask(outcome.upstreamPort, body, limits), route);
}
