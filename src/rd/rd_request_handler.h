#pragma once

#include "rd/invalid_resource_handler.h"

// The RD endpoints: discovery (RDSERVICE, GET), cross-origin preflight
// (OPTIONS) and the forwarded CAPTURE and DEVICEINFO requests. Stateless:
// one instance serves all worker threads at once. Every operation answers
// true; failures travel as PidData documents under "200 OK".
class RDSWrapperRestfulRequestHandler : public InvalidResourceRequestHandler {
public:
    bool handleGet(CivetServer* server, mg_connection* conn) override;
    bool handleOptions(CivetServer* server, mg_connection* conn) override;
    bool handleRdService(CivetServer* server, mg_connection* conn) override;
    bool handleCapture(CivetServer* server, mg_connection* conn) override;
    bool handleDeviceInfo(CivetServer* server, mg_connection* conn) override;

private:
    bool answerDiscovery(CivetServer* server, mg_connection* conn);
};

// The server's first listening port, or -1 when it has none.
int firstListeningPort(CivetServer* server);
