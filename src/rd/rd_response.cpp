#include "rd/rd_response.h"

#include <civetweb.h>

#include <cstring>
#include <string>

#include "rd/rd_documents.h"

namespace {

const char* orNull(const char* text) { return text != nullptr ? text : "(null)"; }

std::string headerBlock(const char* location, std::int64_t length, const char* origin,
                        const PreflightGrant& grant) {
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
    block += orNull(origin);
    block += "\r\nAccess-Control-Allow-Methods: RDSERVICE, CAPTURE, DEVICEINFO\r\n";
    if (grant.allowHeaders != nullptr) {
        block += "Access-Control-Allow-Headers: ";
        block += grant.allowHeaders;
        block += "\r\n";
    }
    if (grant.allowPrivateNetwork) {
        block += "Access-Control-Allow-Private-Network: true\r\n";
    }
    block += "\r\n";
    return block;
}

}  // namespace

const char* chooseOrigin(mg_connection* conn) {
    const char* allowOrigin = mg_get_header(conn, "Access-Control-Allow-Origin");
    if (allowOrigin != nullptr && allowOrigin[0] != '\0' && std::strcmp(allowOrigin, "*") != 0) {
        return allowOrigin;
    }
    return mg_get_header(conn, "Origin");
}

bool writeRdResponse(mg_connection* conn, const char* location, const char* data,
                     std::int64_t length, const PreflightGrant& grant) {
    if (length < 0) {
        length = data != nullptr ? static_cast<std::int64_t>(std::strlen(data)) : 0;
    }
    // Header and body leave in one write: the bytes are the same as two
    // writes, but the answer costs one loopback round trip less.
    std::string message = headerBlock(location, length, chooseOrigin(conn), grant);
    if (length > 0) {
        message.append(data, static_cast<std::size_t>(length));
    }
    const int written = mg_write(conn, message.data(), message.size());
    return written > 0 && static_cast<std::size_t>(written) == message.size();
}

bool writePidDataError(mg_connection* conn, const char* location, RDSWrapperError error,
                       const PreflightGrant& grant) {
    const char* info = error.errorInfo();
    const std::string document = formatPidDataDocument(error.errorCode(), info);
    return writeRdResponse(conn, location, document.c_str(), -1, grant);
}
