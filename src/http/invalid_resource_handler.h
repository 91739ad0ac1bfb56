#pragma once

#include "http/civet_handler.h"

// Claims every request method and writes nothing, so the engine answers no
// request on its URI with an error status of its own: the client gets no
// bytes before the connection closes. The base of the RD handler, which
// overrides the verbs it serves.
class InvalidResourceRequestHandler : public CivetHandler {
  public:
    bool handleGet(CivetServer* server, mg_connection* conn) override;
    bool handlePost(CivetServer* server, mg_connection* conn) override;
    bool handleHead(CivetServer* server, mg_connection* conn) override;
    bool handlePut(CivetServer* server, mg_connection* conn) override;
    bool handleDelete(CivetServer* server, mg_connection* conn) override;
    bool handleOptions(CivetServer* server, mg_connection* conn) override;
    bool handlePatch(CivetServer* server, mg_connection* conn) override;
    bool handleTrace(CivetServer* server, mg_connection* conn) override;
    bool handleConnect(CivetServer* server, mg_connection* conn) override;
    bool handleRdService(CivetServer* server, mg_connection* conn) override;
    bool handleCapture(CivetServer* server, mg_connection* conn) override;
    bool handleDeviceInfo(CivetServer* server, mg_connection* conn) override;
    bool handleOtherMethod(CivetServer* server, mg_connection* conn) override;
};
