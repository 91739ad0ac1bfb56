#pragma once

#include "http/invalid_resource_handler.h"
#include "rd/caller_facts.h"
#include "rd/forward.h"
#include "rd/forwarding.h"
#include "rd/rd_response.h"

// The RD endpoints: discovery (RDSERVICE, GET), cross-origin preflight
// (OPTIONS) and the forwarded CAPTURE and DEVICEINFO requests. One instance
// serves all worker threads at once; it keeps nothing from one request to
// the next but the shared forwarding state, which its owner stops (and
// which must outlive it). Every operation answers true; failures travel as
// PidData documents under "200 OK".
class RDSWrapperRestfulRequestHandler : public InvalidResourceRequestHandler {
  public:
    explicit RDSWrapperRestfulRequestHandler(ForwardingState& forwarding)
        : forwarding_(forwarding) {}

    bool handleGet(CivetServer* server, mg_connection* conn) override;
    bool handleOptions(CivetServer* server, mg_connection* conn) override;
    bool handleRdService(CivetServer* server, mg_connection* conn) override;
    bool handleCapture(CivetServer* server, mg_connection* conn) override;
    bool handleDeviceInfo(CivetServer* server, mg_connection* conn) override;

  private:
    bool answerDiscovery(CivetServer* server, mg_connection* conn);
    // Forwards the request, then writes its answer and its line.
    bool answerForward(CivetServer* server, mg_connection* conn, UpstreamVerb verb);
    // The caller of the request on `conn`: read once, where the request enters.
    CallerFacts callerOf(mg_connection* conn) const;

    ForwardingState& forwarding_;
};
