#include "rd/rd_response.h"

#include <civetweb.h>

#include <cstring>
#include <string>
#include <vector>

#include "http/civet_server.h"
#include "rd/rd_documents.h"

namespace {

// A body up to this size leaves in one write with its header block: the
// same bytes, one loopback round trip less. A larger one is written from
// the buffer it arrived in, not copied.
constexpr std::int64_t kCoalescedBodyBytes = 64 * 1024;

const char* orNull(const char* text) { return text != nullptr ? text : "(null)"; }

bool writeAll(mg_connection* conn, const char* data, std::size_t size) {
    const int written = mg_write(conn, data, size);
    return written > 0 && static_cast<std::size_t>(written) == size;
}

std::string headerBlock(const char* location, std::int64_t length, const CrossOriginGrant& grant) {
    std::string block;
    block.reserve(320);
    block += "HTTP/1.1 200 OK\r\nCACHE-CONTROL:no-cache\r\nLOCATION:";
    block += orNull(location);
    block += "\r\nContent-Length: ";
    block += std::to_string(length);
    block += "\r\nContent-Type: text/xml\r\nConnection: close\r\n";
    if (!grant.admitOrigin) {
        return block + "\r\n";
    }
    block += "Access-Control-Allow-Origin: ";
    block += grant.origin ? *grant.origin : "(null)";
    block += "\r\nAccess-Control-Allow-Methods: RDSERVICE, CAPTURE, DEVICEINFO\r\n";
    if (grant.allowHeaders) {
        block += "Access-Control-Allow-Headers: ";
        block += *grant.allowHeaders;
        block += "\r\n";
    }
    if (grant.allowPrivateNetwork) {
        block += "Access-Control-Allow-Private-Network: true\r\n";
    }
    block += "\r\n";
    return block;
}

}  // namespace

int firstListeningPort(CivetServer* server) {
    const std::vector<int>& ports = server->getListeningPorts();
    return ports.empty() ? -1 : ports.front();
}

void requestLocation(char (&location)[kLocationBufferSize], CivetServer* server,
                     mg_connection* conn) {
    formatLocation(location, kLocationHost, firstListeningPort(server),
                   mg_get_request_info(conn)->request_uri);
}

CrossOriginGrant echoedGrant(mg_connection* conn) {
    CrossOriginGrant grant;
    const char* allowOrigin = mg_get_header(conn, "Access-Control-Allow-Origin");
    const bool specific =
        allowOrigin != nullptr && allowOrigin[0] != '\0' && std::strcmp(allowOrigin, "*") != 0;
    const char* origin = specific ? allowOrigin : mg_get_header(conn, "Origin");
    if (origin != nullptr) {
        grant.origin = origin;
    }
    return grant;
}

bool writeRdResponse(mg_connection* conn, const char* location, const char* data,
                     std::int64_t length, const CrossOriginGrant& grant) {
    if (length < 0) {
        length = data != nullptr ? static_cast<std::int64_t>(std::strlen(data)) : 0;
    }
    std::string message = headerBlock(location, length, grant);
    if (length > kCoalescedBodyBytes) {
        return writeAll(conn, message.data(), message.size()) &&
               writeAll(conn, data, static_cast<std::size_t>(length));
    }
    if (length > 0) {
        message.append(data, static_cast<std::size_t>(length));
    }
    return writeAll(conn, message.data(), message.size());
}

bool writeRdResponse(mg_connection* conn, const char* location, const char* data,
                     std::int64_t length) {
    return writeRdResponse(conn, location, data, length, echoedGrant(conn));
}

bool writePidDataError(mg_connection* conn, const char* location, RDSWrapperError error,
                       const CrossOriginGrant& grant) {
    const char* info = error.errorInfo();
    const std::string document = formatPidDataDocument(error.errorCode(), info);
    return writeRdResponse(conn, location, document.c_str(), -1, grant);
}
