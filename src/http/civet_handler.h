#pragma once

struct mg_connection;

class CivetServer;

// Base of the request handlers: one operation per accepted request method.
// Each returns true when it answered the request (even without writing) and
// false to hand it back to the engine, which serves no files and answers with
// its own error status (404 or 405). The defaults all return false.
// Operations are called concurrently from the engine's worker threads, so
// overrides must be safe for concurrent calls.
class CivetHandler {
  public:
    virtual ~CivetHandler() = default;

    virtual bool handleGet(CivetServer* server, mg_connection* conn);
    virtual bool handlePost(CivetServer* server, mg_connection* conn);
    virtual bool handleHead(CivetServer* server, mg_connection* conn);
    virtual bool handlePut(CivetServer* server, mg_connection* conn);
    virtual bool handleDelete(CivetServer* server, mg_connection* conn);
    virtual bool handleOptions(CivetServer* server, mg_connection* conn);
    virtual bool handlePatch(CivetServer* server, mg_connection* conn);
    virtual bool handleTrace(CivetServer* server, mg_connection* conn);
    virtual bool handleConnect(CivetServer* server, mg_connection* conn);
    virtual bool handleRdService(CivetServer* server, mg_connection* conn);
    virtual bool handleCapture(CivetServer* server, mg_connection* conn);
    virtual bool handleDeviceInfo(CivetServer* server, mg_connection* conn);
    // Any other method the engine accepts (PROPFIND, MKCOL).
    virtual bool handleOtherMethod(CivetServer* server, mg_connection* conn);
};
