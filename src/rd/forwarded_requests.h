#pragma once

#include <string>

#include "rd/forwarding.h"

class CivetServer;
struct mg_connection;

// The requests that go to the upstream RD service. Each runs discovery anew,
// sends one request to the port found and relays the upstream's body under
// the RD header block, or answers with a PidData error document.

// GET or RDSERVICE on "/rdservice": the upstream's own discovery document.
void relayUpstreamRdService(CivetServer* server, mg_connection* conn, ForwardingState& state);
// CAPTURE: only on "/rd/capture"; the request body goes upstream unchanged.
void forwardCapture(CivetServer* server, mg_connection* conn, ForwardingState& state);
// DEVICEINFO: only on "/rd/info".
void forwardDeviceInfo(CivetServer* server, mg_connection* conn, ForwardingState& state);

// Reads the request body into `body`: the bytes Content-Length announces, or
// a chunked body to its end; no body without either. Returns false when the
// body is larger than kMaxRequestBodyBytes (a declared length above it is refused
// unread) or ends or stalls before it is complete; `body` is then not to be
// used.
bool readRequestBody(mg_connection* conn, std::string& body);
