#pragma once

#include <string>

#include "http/invalid_resource_handler.h"
#include "config/allowed_origins.h"
#include "rd/forward_log.h"
#include "rd/forwarding.h"

// The RD endpoints: discovery (RDSERVICE, GET), cross-origin preflight
// (OPTIONS) and the forwarded CAPTURE and DEVICEINFO requests. One instance
// serves all worker threads at once; it keeps nothing from one request to
// the next but the shared forwarding state. Every operation answers true;
// failures travel as PidData documents under "200 OK".
// Longest wait of a stop for the forwards it cancelled to answer.
constexpr int kForwardDrainMs = 1000;

class RDSWrapperRestfulRequestHandler : public InvalidResourceRequestHandler {
  public:
    explicit RDSWrapperRestfulRequestHandler(ForwardingOptions options = ForwardingOptions());

    bool handleGet(CivetServer* server, mg_connection* conn) override;
    bool handleOptions(CivetServer* server, mg_connection* conn) override;
    bool handleRdService(CivetServer* server, mg_connection* conn) override;
    bool handleCapture(CivetServer* server, mg_connection* conn) override;
    bool handleDeviceInfo(CivetServer* server, mg_connection* conn) override;

    // The server is stopping: ends every upstream transfer in flight, waits
    // (at most kForwardDrainMs) until their clients have their
    // RDSERVICE_NOT_AVAILABLE, and fails later forwards at once.
    void stopForwarding() { forwarding_.stopAndDrain(std::chrono::milliseconds(kForwardDrainMs)); }

  private:
    bool answerDiscovery(CivetServer* server, mg_connection* conn);
    // False after answering a caller that may not reach the upstream.
    bool admitForward(CivetServer* server, mg_connection* conn, ForwardRecord& record);

    const AllowedOrigins& allowedOrigins() const { return forwarding_.options.allowedOrigins; }

    ForwardingState forwarding_;
};
