#include "rd/forwarded_requests.h"

#include <civetweb.h>

#include <algorithm>
#include <cstring>

#include "config/xml_parser.h"
#include "http/civet_server.h"
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

void answerNotAvailable(mg_connection* conn, const char* location) {
    writePidDataError(conn, location, RDSWrapperError(RDSWrapperError::RDSERVICE_NOT_AVAILABLE));
}

// The steps CAPTURE and DEVICEINFO share: the path test, the body (CAPTURE
// only), discovery, one upstream request and the relay of its answer.
void forwardRequest(CivetServer* server, mg_connection* conn, const char* path, bool withBody) {
    char location[kLocationBufferSize];
    requestLocation(location, server, conn);
    if (!hasLocalUri(conn, path)) {
        writePidDataError(conn, location, RDSWrapperError(RDSWrapperError::UNSUPPORTED));
        return;
    }
    std::string body;
    if (withBody && !readRequestBody(conn, body)) {
        writePidDataError(conn, location, RDSWrapperError(RDSWrapperError::INVALID_DATA));
        return;
    }
    const int port = discoverUpstreamPort(server->getListeningPorts());
    if (port < 0) {
        answerNotAvailable(conn, location);
        return;
    }
    const RestResponse response =
        withBody ? queryUpstreamCapture(port, body) : queryUpstreamDeviceInfo(port);
    if (response.code != 200) {
        answerNotAvailable(conn, location);
        return;
    }
    writeRdResponse(conn, location, response.body.data(),
                    static_cast<std::int64_t>(response.body.size()));
}

}  // namespace

bool readRequestBody(mg_connection* conn, std::string& body) {
    const std::int64_t declared = mg_get_request_info(conn)->content_length;
    body.clear();
    if (declared > kMaxRequestBodyBytes) {
        return false;
    }
    // The buffer grows with what arrives, so a large declared length alone
    // commits no memory; one read may return only part of the body.
    char chunk[kReadChunkBytes];
    while (declared > 0 && static_cast<std::int64_t>(body.size()) < declared) {
        const std::size_t wanted = static_cast<std::size_t>(
            std::min<std::int64_t>(declared - static_cast<std::int64_t>(body.size()),
                                   static_cast<std::int64_t>(sizeof chunk)));
        const int n = mg_read(conn, chunk, wanted);
        if (n <= 0) {
            break;
        }
        body.append(chunk, static_cast<std::size_t>(n));
    }
    return true;
}

void relayUpstreamRdService(CivetServer* server, mg_connection* conn) {
    char location[kLocationBufferSize];
    requestLocation(location, server, conn);
    const int port = discoverUpstreamPort(server->getListeningPorts());
    if (port < 0) {
        answerNotAvailable(conn, location);
        return;
    }
    const RestResponse response = queryUpstreamRdService(port);
    XmlParseStatus status;
    if (response.code == 200) {
        parseXmlText(response.body.c_str(), &status, "RDService");
    }
    if (response.code != 200 || status.code != XmlParseCode::None) {
        answerNotAvailable(conn, location);
        return;
    }
    // Relayed as text, up to its first NUL byte.
    writeRdResponse(conn, location, response.body.c_str(), -1);
}

void forwardCapture(CivetServer* server, mg_connection* conn) {
    forwardRequest(server, conn, "/rd/capture", true);
}

void forwardDeviceInfo(CivetServer* server, mg_connection* conn) {
    forwardRequest(server, conn, "/rd/info", false);
}
