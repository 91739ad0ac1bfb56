#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "rd/rd_documents.h"
#include "rd/rd_error.h"

class CivetServer;
struct mg_connection;

// The server's first listening port, or -1 when it has none: the port of
// every LOCATION value.
int firstListeningPort(CivetServer* server);

// The LOCATION of an answer to the request on `conn`: this server's first
// port and the request URI.
void requestLocation(char (&location)[kLocationBufferSize], CivetServer* server,
                     mg_connection* conn);

// The cross-origin lines every answer carries. A preflight's extra lines
// follow the Allow-Methods line, in this order.
struct CrossOriginGrant {
    // False for a caller whose origin is not allowed: the answer carries no
    // Access-Control-Allow-* line at all, so a browser refuses it.
    bool admitOrigin = true;
    // The Access-Control-Allow-Origin value; absent: "(null)".
    std::optional<std::string> origin;
    // The request's Access-Control-Request-Headers, echoed as
    // Access-Control-Allow-Headers; absent for none.
    std::optional<std::string> allowHeaders;
    // Adds "Access-Control-Allow-Private-Network: true" (older Chromium
    // refuses a public page's call to loopback without it).
    bool allowPrivateNetwork = false;
};

// Writes "HTTP/1.1 200 OK" with the fixed RD header block, the lines of
// `grant`, and `length` bytes of `data`. A negative length means "the text
// up to its first NUL" (0 when data is null). A null location is written as
// "(null)". Returns true when the header block and the whole body were
// written. Without a grant, echoedGrant(conn).
bool writeRdResponse(mg_connection* conn, const char* location, const char* data,
                     std::int64_t length, const CrossOriginGrant& grant);
bool writeRdResponse(mg_connection* conn, const char* location, const char* data,
                     std::int64_t length);

// Sends the PidData document for `error` with writeRdResponse.
bool writePidDataError(mg_connection* conn, const char* location, RDSWrapperError error,
                       const CrossOriginGrant& grant);

// The grant of every answer: the origin echoed to the caller is a specific
// Access-Control-Allow-Origin request header, otherwise the Origin header.
CrossOriginGrant echoedGrant(mg_connection* conn);
