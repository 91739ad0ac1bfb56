#include "rd/rd_request_handler.h"

#include <civetweb.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "http/civet_server.h"
#include "platform/escaped_text.h"
#include "rd/forwarded_requests.h"
#include "rd/origin_policy.h"
#include "rd/rd_documents.h"
#include "rd/rd_response.h"

RDSWrapperRestfulRequestHandler::RDSWrapperRestfulRequestHandler(ForwardingOptions options)
    : forwarding_(std::move(options)) {}

bool RDSWrapperRestfulRequestHandler::handleGet(CivetServer* server, mg_connection* conn) {
    return answerDiscovery(server, conn);
}

bool RDSWrapperRestfulRequestHandler::handleRdService(CivetServer* server, mg_connection* conn) {
    // The URI is the client's: no byte of it may forge a line or drive a terminal.
    const std::string uri = platform::escapeControlBytes(mg_get_request_info(conn)->request_uri);
    std::printf("RDSERVICE, reqInfo->request_uri: %s \n", uri.c_str());
    std::fflush(stdout);
    return answerDiscovery(server, conn);
}

bool RDSWrapperRestfulRequestHandler::answerDiscovery(CivetServer* server, mg_connection* conn) {
    const char* localUri = mg_get_request_info(conn)->local_uri;
    if (std::strcmp(localUri, kUpstreamDiscoveryPath) == 0) {
        ForwardRecord record = startForwardRecord(conn);
        if (admitForward(server, conn, record)) {
            relayUpstreamRdService(server, conn, forwarding_, record);
        }
        printForwardLine(record);
    } else if (std::strcmp(localUri, "/*") == 0 || std::strcmp(localUri, "/") == 0) {
        char location[kLocationBufferSize];
        char document[kRdServiceDocumentBufferSize];
        formatLocation(location, kLocationHost, firstListeningPort(server), "/");
        PreflightGrant grant;
        grant.admitOrigin = admitsCaller(allowedOrigins(), conn);
        writeRdResponse(conn, location, formatRdServiceDocument(document, "READY"), -1, grant);
    }
    return true;
}

bool RDSWrapperRestfulRequestHandler::admitForward(CivetServer* server, mg_connection* conn,
                                                   ForwardRecord& record) {
    record.refusal = forwardRefusal(allowedOrigins(), conn);
    if (record.refusal == CallerRefusal::kNone) {
        return true;
    }
    char location[kLocationBufferSize];
    requestLocation(location, server, conn);
    record.errCode = kRefusedCallerError;
    answerRefusedCaller(conn, location, allowedOrigins());
    return false;
}

bool RDSWrapperRestfulRequestHandler::handleOptions(CivetServer*, mg_connection* conn) {
    // Browsers send a preflight before a cross-origin request with custom
    // headers (typically Content-Type on CAPTURE) and refuse the request
    // unless the answer allows those headers. Older Chromium also asks, for a
    // public page calling loopback, whether a private network may be reached.
    PreflightGrant grant;
    grant.admitOrigin = admitsCaller(allowedOrigins(), conn);
    const char* requested = mg_get_header(conn, "Access-Control-Request-Headers");
    if (requested != nullptr && requested[0] != '\0') {
        grant.allowHeaders = requested;
    }
    const char* privateNetwork = mg_get_header(conn, "Access-Control-Request-Private-Network");
    grant.allowPrivateNetwork =
        privateNetwork != nullptr && std::strcmp(privateNetwork, "true") == 0;
    writeRdResponse(conn, nullptr, nullptr, 0, grant);
    return true;
}

bool RDSWrapperRestfulRequestHandler::handleCapture(CivetServer* server, mg_connection* conn) {
    ForwardRecord record = startForwardRecord(conn);
    if (admitForward(server, conn, record)) {
        forwardToUpstream(server, conn, forwarding_, UpstreamVerb::Capture, record);
    }
    printForwardLine(record);
    return true;
}

bool RDSWrapperRestfulRequestHandler::handleDeviceInfo(CivetServer* server, mg_connection* conn) {
    ForwardRecord record = startForwardRecord(conn);
    if (admitForward(server, conn, record)) {
        forwardToUpstream(server, conn, forwarding_, UpstreamVerb::DeviceInfo, record);
    }
    printForwardLine(record);
    return true;
}
