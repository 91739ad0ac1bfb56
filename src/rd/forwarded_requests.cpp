#include "rd/forwarded_requests.h"

#include <civetweb.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "config/device_model.h"
#include "http/civet_server.h"
#include "platform/memory.h"
#include "rd/rd_documents.h"
#include "rd/rd_response.h"
#include "text/text_helpers.h"

namespace {

constexpr std::size_t kReadChunkBytes = 16 * 1024;
// What the forward line says of a forward refused for want of capacity.
const char* const kEveryPlaceTaken = "every forward place taken";
const char* const kBudgetSpent = "buffer budget spent";
// After a forward that held this much, freed memory goes back to the system.
constexpr std::size_t kReleaseAfterBytes = 1024 * 1024;

void answerError(mg_connection* conn, const char* location, int code, ForwardRecord& record) {
    record.errCode = code;
    writePidDataError(conn, location, RDSWrapperError(code));
}

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
BodyRead readUpTo(mg_connection* conn, std::int64_t wanted, std::size_t maxBytes,
                  BudgetShare& share, std::string& body) {
    char chunk[kReadChunkBytes];
    while (wanted < 0 || static_cast<std::int64_t>(body.size()) < wanted) {
        const std::size_t room = maxBytes + 1 - body.size();
        const std::int64_t left = wanted < 0 ? static_cast<std::int64_t>(room)
                                             : wanted - static_cast<std::int64_t>(body.size());
        const int n = mg_read(conn, chunk,
                              static_cast<std::size_t>(std::min<std::int64_t>(
                                  left, static_cast<std::int64_t>(sizeof chunk))));
        if (n == 0 && wanted < 0) {
            return BodyRead::Complete;  // the last chunk
        }
        if (n <= 0) {
            return BodyRead::Invalid;  // ended or stalled early
        }
        const std::size_t needed = body.size() + static_cast<std::size_t>(n);
        if (needed > maxBytes) {
            return BodyRead::Invalid;
        }
        if (!share.growTo(std::max(needed, body.capacity()))) {
            return BodyRead::OverBudget;
        }
        body.append(chunk, static_cast<std::size_t>(n));
    }
    return BodyRead::Complete;
}

// Gives freed memory back to the system when a forward that held large
// buffers ends; declared first, so it acts after they are gone.
class LargeBufferRelease {
  public:
    LargeBufferRelease() = default;
    ~LargeBufferRelease() {
        if (heldBytes_ >= kReleaseAfterBytes) {
            platform::releaseFreedMemory();
        }
    }
    LargeBufferRelease(const LargeBufferRelease&) = delete;
    LargeBufferRelease& operator=(const LargeBufferRelease&) = delete;

    void note(const BudgetShare& share) { heldBytes_ += share.held(); }

  private:
    std::size_t heldBytes_ = 0;
};

// The upstream's port, or -1 when none is found; with its discovery answer
// in `winningAnswer` and the address it answered on in `connectAddress`,
// each when not null.
int findUpstream(CivetServer* server, ForwardingState& state, RestResponse* winningAnswer,
                 std::string* connectAddress) {
    const std::string model = readDeviceModel(state.dataDirectory());
    TransferLimits base;
    base.cancel = &state.stop;
    base.handles = &state.handles;
    return discoverUpstreamPort(state.options.discovery, server->getListeningPorts(), model, base,
                                winningAnswer, connectAddress);
}

TransferLimits answerLimits(ForwardingState& state, BudgetShare& share,
                            std::string connectAddress) {
    TransferLimits limits;
    limits.maxBodyBytes = kMaxUpstreamAnswerBytes;
    limits.cancel = &state.stop;
    limits.budget = &share;
    limits.handles = &state.handles;
    limits.connectAddress = std::move(connectAddress);
    return limits;
}

bool declaresTooLargeBody(mg_connection* conn, std::size_t maxBytes) {
    return mg_get_request_info(conn)->content_length > static_cast<std::int64_t>(maxBytes);
}

// Reads a CAPTURE's body within the cap and the budget; false after
// answering why it is refused (nothing of it goes upstream then).
bool takeBody(mg_connection* conn, const char* location, ForwardingState& state, BudgetShare& share,
              std::string& body, ForwardRecord& record) {
    const BodyRead read = readRequestBody(conn, state.options.maxRequestBodyBytes, share, body);
    if (read == BodyRead::Complete) {
        return true;
    }
    if (read == BodyRead::OverBudget) {
        record.capacityRefusal = kBudgetSpent;
    }
    answerError(conn, location,
                read == BodyRead::Invalid ? RDSWrapperError::INVALID_DATA
                                          : RDSWrapperError::RDSERVICE_NOT_AVAILABLE,
                record);
    return false;
}

}  // namespace

BodyRead readRequestBody(mg_connection* conn, std::size_t maxBytes, BudgetShare& share,
                         std::string& body) {
    const std::int64_t declared = mg_get_request_info(conn)->content_length;
    body.clear();
    if (isChunked(conn)) {
        return readUpTo(conn, -1, maxBytes, share, body);
    }
    if (declared <= 0) {
        return BodyRead::Complete;
    }
    if (declared > static_cast<std::int64_t>(maxBytes)) {
        return BodyRead::Invalid;
    }
    if (!share.growTo(static_cast<std::size_t>(declared))) {
        return BodyRead::OverBudget;
    }
    body.reserve(static_cast<std::size_t>(declared));
    return readUpTo(conn, declared, maxBytes, share, body);
}

void forwardToUpstream(CivetServer* server, mg_connection* conn, ForwardingState& state,
                       UpstreamVerb verb, ForwardRecord& record) {
    LargeBufferRelease release;
    char location[kLocationBufferSize];
    requestLocation(location, server, conn);
    const bool capture = verb == UpstreamVerb::Capture;
    if (std::strcmp(mg_get_request_info(conn)->local_uri,
                    capture ? kCapturePath : kDeviceInfoPath) != 0) {
        answerError(conn, location, RDSWrapperError::UNSUPPORTED, record);
        return;
    }
    if (capture && declaresTooLargeBody(conn, state.options.maxRequestBodyBytes)) {
        answerError(conn, location, RDSWrapperError::INVALID_DATA, record);
        return;
    }
    const ForwardSlot slot(state);
    if (!slot.held()) {
        record.capacityRefusal = kEveryPlaceTaken;
        answerError(conn, location, RDSWrapperError::RDSERVICE_NOT_AVAILABLE, record);
        return;
    }
    BudgetShare requestShare(&state.budget);
    std::string body;
    if (capture && !takeBody(conn, location, state, requestShare, body, record)) {
        return;
    }
    std::string connectAddress;
    const int port = findUpstream(server, state, nullptr, &connectAddress);
    record.upstreamPort = port;
    if (port < 0) {
        answerError(conn, location, RDSWrapperError::RDSERVICE_NOT_AVAILABLE, record);
        return;
    }
    BudgetShare answerShare(&state.budget);
    const TransferLimits limits = answerLimits(state, answerShare, std::move(connectAddress));
    const RestResponse response =
        capture ? queryUpstreamCapture(port, body, limits) : queryUpstreamDeviceInfo(port, limits);
    record.upstreamCode = response.code;
    release.note(requestShare);
    release.note(answerShare);
    if (response.code != 200) {
        answerError(conn, location, RDSWrapperError::RDSERVICE_NOT_AVAILABLE, record);
        return;
    }
    writeRdResponse(conn, location, response.body.data(),
                    static_cast<std::int64_t>(response.body.size()));
}

void relayUpstreamRdService(CivetServer* server, mg_connection* conn, ForwardingState& state,
                            ForwardRecord& record) {
    char location[kLocationBufferSize];
    requestLocation(location, server, conn);
    const ForwardSlot slot(state);
    if (!slot.held()) {
        record.capacityRefusal = kEveryPlaceTaken;
        answerError(conn, location, RDSWrapperError::RDSERVICE_NOT_AVAILABLE, record);
        return;
    }
    RestResponse answer;
    record.upstreamPort = findUpstream(server, state, &answer, nullptr);
    if (record.upstreamPort < 0) {
        answerError(conn, location, RDSWrapperError::RDSERVICE_NOT_AVAILABLE, record);
        return;
    }
    // Discovery accepted this answer: it parsed with an RDService element
    // naming the device. Relayed as text, up to its first NUL byte.
    record.upstreamCode = answer.code;
    writeRdResponse(conn, location, answer.body.c_str(), -1);
}
