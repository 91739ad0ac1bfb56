#pragma once

#include <cstddef>
#include <string>

#include "rd/forward_log.h"
#include "rd/forwarding.h"

class BudgetShare;
class CivetServer;
struct mg_connection;

// The requests that go to the upstream RD service. Each runs discovery anew
// and relays the upstream's body under the RD header block, or answers with
// a PidData error document. A forward is refused at once, before any of its
// body is read, when no place for it is free or the buffers it needs would
// pass the process's budget. Each notes in `record` the upstream port, its
// answer and the errCode sent.

// The upstream requests a client's request may become.
enum class UpstreamVerb { Capture, DeviceInfo };

// CAPTURE on "/rd/capture" (its body goes upstream unchanged) or DEVICEINFO
// on "/rd/info": one request to the upstream that discovery found.
void forwardToUpstream(CivetServer* server, mg_connection* conn, ForwardingState& state,
                       UpstreamVerb verb, ForwardRecord& record);

// GET or RDSERVICE on "/rdservice": the upstream's own discovery document,
// the very answer with which it identified itself.
void relayUpstreamRdService(CivetServer* server, mg_connection* conn, ForwardingState& state,
                            ForwardRecord& record);

enum class BodyRead { Complete, Invalid, OverBudget };

// Reads the request body into `body`: the bytes Content-Length announces, or
// a chunked body to its end; no body without either. Invalid when it is
// larger than `maxBytes` (a declared length above it is refused unread) or
// ends or stalls before it is complete; OverBudget when `share` may not grow
// to hold it. `body` is to be used only when Complete.
BodyRead readRequestBody(mg_connection* conn, std::size_t maxBytes, BudgetShare& share,
                         std::string& body);
