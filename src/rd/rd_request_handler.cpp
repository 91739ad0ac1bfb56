#include "rd/rd_request_handler.h"

#include <civetweb.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "http/civet_server.h"
#include "text/escaped_text.h"
#include "rd/forward_log.h"
#include "rd/rd_documents.h"

bool RDSWrapperRestfulRequestHandler::handleGet(CivetServer* server, mg_connection* conn) {
    return answerDiscovery(server, conn);
}

bool RDSWrapperRestfulRequestHandler::handleRdService(CivetServer* server, mg_connection* conn) {
    // The URI is the client's: no byte of it may forge a line or drive a terminal.
    const std::string uri = text::escapeControlBytes(mg_get_request_info(conn)->request_uri);
    std::printf("RDSERVICE, reqInfo->request_uri: %s \n", uri.c_str());
    std::fflush(stdout);
    return answerDiscovery(server, conn);
}

bool RDSWrapperRestfulRequestHandler::answerDiscovery(CivetServer* server, mg_connection* conn) {
    const char* localUri = mg_get_request_info(conn)->local_uri;
    if (std::strcmp(localUri, kUpstreamDiscoveryPath) == 0) {
        return answerForward(server, conn, UpstreamVerb::RdService);
    }
    if (std::strcmp(localUri, "/*") == 0 || std::strcmp(localUri, "/") == 0) {
        char location[kLocationBufferSize];
        char document[kRdServiceDocumentBufferSize];
        formatLocation(location, kLocationHost, firstListeningPort(server), "/");
        writeRdResponse(conn, location, formatRdServiceDocument(document, "READY"), -1,
                        callerOf(conn).grant);
    }
    return true;
}

bool RDSWrapperRestfulRequestHandler::handleOptions(CivetServer*, mg_connection* conn) {
    // The caller's grant holds what its preflight asks for.
    writeRdResponse(conn, nullptr, nullptr, 0, callerOf(conn).grant);
    return true;
}

bool RDSWrapperRestfulRequestHandler::handleCapture(CivetServer* server, mg_connection* conn) {
    return answerForward(server, conn, UpstreamVerb::Capture);
}

bool RDSWrapperRestfulRequestHandler::handleDeviceInfo(CivetServer* server, mg_connection* conn) {
    return answerForward(server, conn, UpstreamVerb::DeviceInfo);
}

bool RDSWrapperRestfulRequestHandler::answerForward(CivetServer* server, mg_connection* conn,
                                                    UpstreamVerb verb) {
    const CallerFacts caller = callerOf(conn);
    const ForwardRecord record = startForwardRecord(conn, caller);
    ForwardHold hold(forwarding_);  // declared first: let go only once the client has its answer
    const ForwardOutcome outcome =
        forward(forwarding_, hold, verb, caller, conn, server->getListeningPorts());
    char location[kLocationBufferSize];
    requestLocation(location, server, conn);
    if (outcome.end == ForwardEnd::kRelayed) {
        writeRdResponse(conn, location, outcome.answer.data(),
                        static_cast<std::int64_t>(outcome.answer.size()), caller.grant);
    } else {
        writePidDataError(conn, location, RDSWrapperError(errCodeOf(outcome.end)), caller.grant);
    }
    printForwardLine(record, outcome);
    return true;
}

CallerFacts RDSWrapperRestfulRequestHandler::callerOf(mg_connection* conn) const {
    return readCallerFacts(forwarding_.allowedOrigins, conn);
}
