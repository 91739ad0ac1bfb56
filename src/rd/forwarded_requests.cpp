#include "rd/forwarded_requests.h"

#include <civetweb.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "config/device_model.h"
#include "config/xml_parser.h"
#include "http/civet_server.h"
#include "http/request_body_limit.h"
#include "rd/rd_documents.h"
#include "rd/rd_request_handler.h"
#include "rd/rd_response.h"
#include "rd/upstream.h"

namespace {

constexpr std::size_t kReadChunkBytes = 16 * 1024;

// The LOCATION of a forwarded answer: this server's first port and the request URI.
void requestLocation(char (&location)[kLocationBufferSize], CivetServer* server,
                     mg_connection* conn) {
    formatLocation(location, kLocationHost, firstListeningPort(server),
                   mg_get_request_info(conn)->request_uri);
}

bool hasLocalUri(mg_connection* conn, const char* path) {
    return std::strcmp(mg_get_request_info(conn)->local_uri, path) == 0;
}

void answerError(mg_connection* conn, const char* location, int code) {
    writePidDataError(conn, location, RDSWrapperError(code));
}

// The engine accepts no transfer coding but "chunked" and "identity".
bool isChunked(mg_connection* conn) {
    const char* encoding = mg_get_header(conn, "Transfer-Encoding");
    if (encoding == nullptr) {
        return false;
    }
    std::string lower(encoding);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower == "chunked";
}

// Reads until `wanted` bytes have arrived (or, for -1, the body's end).
// The buffer grows with what arrives, so a large declared length alone
// commits no memory; one read may return only part of the body.
bool readUpTo(mg_connection* conn, std::int64_t wanted, std::string& body) {
    char chunk[kReadChunkBytes];
    while (wanted < 0 || static_cast<std::int64_t>(body.size()) < wanted) {
        const std::size_t room = kMaxRequestBodyBytes + 1 - body.size();
        const std::int64_t left = wanted < 0 ? static_cast<std::int64_t>(room)
                                             : wanted - static_cast<std::int64_t>(body.size());
        const int n = mg_read(conn, chunk,
                              static_cast<std::size_t>(std::min<std::int64_t>(
                                  left, static_cast<std::int64_t>(sizeof chunk))));
        if (n == 0 && wanted < 0) {
            return true;  // the last chunk
        }
        if (n <= 0) {
            return false;  // ended or stalled early
        }
        body.append(chunk, static_cast<std::size_t>(n));
        if (body.size() > kMaxRequestBodyBytes) {
            return false;
        }
    }
    return true;
}

// The upstream's port for a forward that holds `slot`, or -1: none found,
// or too many forwards already wait on the upstream. The device model is
// read once for the whole discovery.
int findUpstream(CivetServer* server, ForwardingState& state, const ForwardSlot& slot) {
    if (!slot.held()) {
        return -1;
    }
    const std::string model = readDeviceModel(state.dataDirectory());
    return discoverUpstreamPort(server->getListeningPorts(), model, &state.stop);
}

// The steps CAPTURE and DEVICEINFO share: the path test, the body (CAPTURE
// only), discovery, one upstream request and the relay of its answer.
void forwardRequest(CivetServer* server, mg_connection* conn, ForwardingState& state,
                    const char* path, bool withBody) {
    char location[kLocationBufferSize];
    requestLocation(location, server, conn);
    if (!hasLocalUri(conn, path)) {
        answerError(conn, location, RDSWrapperError::UNSUPPORTED);
        return;
    }
    std::string body;
    if (withBody && !readRequestBody(conn, body)) {
        answerError(conn, location, RDSWrapperError::INVALID_DATA);
        return;
    }
    const ForwardSlot slot(state);
    const int port = findUpstream(server, state, slot);
    if (port < 0) {
        answerError(conn, location, RDSWrapperError::RDSERVICE_NOT_AVAILABLE);
        return;
    }
    const RestResponse response = withBody ? queryUpstreamCapture(port, body, &state.stop)
                                           : queryUpstreamDeviceInfo(port, &state.stop);
    if (response.code != 200) {
        answerError(conn, location, RDSWrapperError::RDSERVICE_NOT_AVAILABLE);
        return;
    }
    writeRdResponse(conn, location, response.body.data(),
                    static_cast<std::int64_t>(response.body.size()));
}

}  // namespace

bool readRequestBody(mg_connection* conn, std::string& body) {
    const std::int64_t declared = mg_get_request_info(conn)->content_length;
    body.clear();
    if (isChunked(conn)) {
        return readUpTo(conn, -1, body);
    }
    if (declared > static_cast<std::int64_t>(kMaxRequestBodyBytes)) {
        return false;
    }
    return declared <= 0 || readUpTo(conn, declared, body);
}

void relayUpstreamRdService(CivetServer* server, mg_connection* conn, ForwardingState& state) {
    char location[kLocationBufferSize];
    requestLocation(location, server, conn);
    const ForwardSlot slot(state);
    const int port = findUpstream(server, state, slot);
    if (port < 0) {
        answerError(conn, location, RDSWrapperError::RDSERVICE_NOT_AVAILABLE);
        return;
    }
    const RestResponse response = queryUpstreamRdService(port, &state.stop);
    XmlParseStatus status;
    if (response.code == 200) {
        parseXmlText(response.body.c_str(), &status, "RDService");
    }
    if (response.code != 200 || status.code != XmlParseCode::None) {
        answerError(conn, location, RDSWrapperError::RDSERVICE_NOT_AVAILABLE);
        return;
    }
    // Relayed as text, up to its first NUL byte.
    writeRdResponse(conn, location, response.body.c_str(), -1);
}

void forwardCapture(CivetServer* server, mg_connection* conn, ForwardingState& state) {
    forwardRequest(server, conn, state, "/rd/capture", true);
}

void forwardDeviceInfo(CivetServer* server, mg_connection* conn, ForwardingState& state) {
    forwardRequest(server, conn, state, "/rd/info", false);
}
