#include "rd/forward.h"

#include <civetweb.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <utility>

#include "client/rest_response.h"
#include "config/device_model.h"
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
        const std::size_t needed =
            std::max(body.size() + static_cast<std::size_t>(n), body.capacity());
        if (needed > charged && !share.grow(needed - charged)) {
            return BodyRead::OverBudget;
        }
        charged = std::max(charged, needed);
        body.append(chunk, static_cast<std::size_t>(n));
    }
    return BodyRead::Complete;
}

bool isForwardedPath(UpstreamVerb verb, mg_connection* conn) {
    const char* path = verb == UpstreamVerb::Capture      ? kCapturePath
                       : verb == UpstreamVerb::DeviceInfo ? kDeviceInfoPath
                                                          : kUpstreamDiscoveryPath;
    return std::strcmp(mg_get_request_info(conn)->local_uri, path) == 0;
}

ForwardOutcome& fail(ForwardOutcome& outcome, int errCode,
                     CapacityRefusal capacity = CapacityRefusal::kNone) {
    outcome.errCode = errCode;
    outcome.capacityRefusal = capacity;
    return outcome;
}

// The caller, the path and the declared body size; false when `outcome`
// says why not.
bool admit(ForwardingState& state, UpstreamVerb verb, mg_connection* conn,
           ForwardOutcome& outcome) {
    outcome.callerRefusal = forwardRefusal(state.allowedOrigins, conn);
    if (outcome.callerRefusal != CallerRefusal::kNone) {
        fail(outcome, kRefusedCallerError);
    } else if (!isForwardedPath(verb, conn)) {
        fail(outcome, RDSWrapperError::UNSUPPORTED);
    } else if (verb == UpstreamVerb::Capture &&
               mg_get_request_info(conn)->content_length >
                   static_cast<std::int64_t>(state.options.limits.maxRequestBodyBytes)) {
        fail(outcome, RDSWrapperError::INVALID_DATA);  // refused unread
    }
    return outcome.errCode == 0;
}

bool readBody(mg_connection* conn, BodyDeadline deadline, BudgetShare& share, std::string& body,
              ForwardOutcome& outcome) {
    switch (readRequestBody(conn, deadline, share, body)) {
        case BodyRead::Complete:
            return true;
        case BodyRead::Invalid:
            fail(outcome, RDSWrapperError::INVALID_DATA);
            break;
        case BodyRead::OverBudget:
            fail(outcome, RDSWrapperError::RDSERVICE_NOT_AVAILABLE, CapacityRefusal::kBudgetSpent);
            break;
    }
    return false;
}

// Runs discovery, its answers held within the forward's share too; the
// one that identified the upstream goes to `identifying` for "/rdservice".
// False when `outcome` says why no upstream is asked.
bool discover(ForwardingState& state, ForwardHold& hold, UpstreamVerb verb,
              const std::vector<int>& ownPorts, RestResponse& identifying,
              std::string& connectAddress, ForwardOutcome& outcome) {
    TransferLimits base;
    base.cancel = &state.stop;
    base.budget = &hold.share();
    base.handles = &state.handles;
    outcome.upstreamPort = discoverUpstreamPort(
        state.options.discovery, ownPorts, readDeviceModel(state.dataDirectory()), base,
        verb == UpstreamVerb::RdService ? &identifying : nullptr, &connectAddress);
    if (outcome.upstreamPort < 0) {
        fail(outcome, RDSWrapperError::RDSERVICE_NOT_AVAILABLE,
             hold.share().refused() ? CapacityRefusal::kBudgetSpent : CapacityRefusal::kNone);
    }
    return outcome.upstreamPort >= 0;
}

// The forward's own request: to the address discovery found it on, with
// the transfer handles of earlier forwards.
TransferLimits answerLimits(ForwardingState& state, BudgetShare& share,
                            std::string connectAddress) {
    TransferLimits limits;
    limits.maxBodyBytes = state.options.limits.maxUpstreamAnswerBytes;
    limits.cancel = &state.stop;
    limits.budget = &share;
    limits.handles = &state.handles;
    limits.connectAddress = std::move(connectAddress);
    return limits;
}

// The upstream's answer, or errCode 5 with why it cannot be relayed.
ForwardOutcome& relay(ForwardOutcome& outcome, RestResponse answer, UpstreamVerb verb) {
    outcome.upstreamCode = answer.code;
    if (answer.overBudget) {
        return fail(outcome, RDSWrapperError::RDSERVICE_NOT_AVAILABLE,
                    CapacityRefusal::kBudgetSpent);
    }
    if (answer.code != 200) {
        return fail(outcome, RDSWrapperError::RDSERVICE_NOT_AVAILABLE);
    }
    outcome.answer = std::move(answer.body);
    if (verb == UpstreamVerb::RdService) {
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

ForwardOutcome forward(ForwardingState& state, ForwardHold& hold, UpstreamVerb verb,
                       mg_connection* conn, const std::vector<int>& ownPorts) {
    // The head has just been read: the body's time starts now.
    const BodyDeadline bodyDeadline =
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(state.options.limits.requestBodyDeadlineMs);
    ForwardOutcome outcome;
    if (!admit(state, verb, conn, outcome)) {
        return outcome;
    }
    std::string body;
    if (verb == UpstreamVerb::Capture &&
        !readBody(conn, bodyDeadline, hold.share(), body, outcome)) {
        return outcome;
    }
    // Only a whole request takes a place: clients that trickle their bodies
    // keep none from the others.
    if (!hold.takePlace()) {
        return fail(outcome, RDSWrapperError::RDSERVICE_NOT_AVAILABLE,
                    CapacityRefusal::kEveryPlaceTaken);
    }
    RestResponse identifying;
    std::string connectAddress;
    if (!discover(state, hold, verb, ownPorts, identifying, connectAddress, outcome)) {
        return outcome;
    }
    if (verb == UpstreamVerb::RdService) {
        return relay(outcome, std::move(identifying), verb);
    }
    // The request goes to the port found, its body unchanged.
    const TransferLimits answer = answerLimits(state, hold.share(), std::move(connectAddress));
    const int port = outcome.upstreamPort;
    return relay(outcome,
                 verb == UpstreamVerb::Capture ? queryUpstreamCapture(port, body, answer)
                                               : queryUpstreamDeviceInfo(port, answer),
                 verb);
}
