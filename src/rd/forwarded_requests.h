#pragma once

#include <cstdint>
#include <string>

class CivetServer;
struct mg_connection;

// The requests that go to the upstream RD service. Each runs discovery anew,
// sends one request to the port found and relays the upstream's body under
// the RD header block, or answers with a PidData error document.

// GET or RDSERVICE on "/rdservice": the upstream's own discovery document.
void relayUpstreamRdService(CivetServer* server, mg_connection* conn);
// CAPTURE: only on "/rd/capture"; the request body goes upstream unchanged.
void forwardCapture(CivetServer* server, mg_connection* conn);
// DEVICEINFO: only on "/rd/info".
void forwardDeviceInfo(CivetServer* server, mg_connection* conn);

// Largest request body we accept; larger declared lengths are refused unread.
constexpr std::int64_t kMaxRequestBodyBytes = 16 * 1024 * 1024;

// Reads the body announced by Content-Length into `body` until the whole
// declared length has arrived or the connection ends. A request without
// Content-Length leaves `body` empty. Returns false, reading nothing, when
// the declared length exceeds kMaxRequestBodyBytes.
bool readRequestBody(mg_connection* conn, std::string& body);
