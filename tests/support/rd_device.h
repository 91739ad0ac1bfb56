#pragma once

#include <string>

#include "rd/rd_request_handler.h"
#include "support/scripted_upstream.h"
#include "support/test_server.h"

// What the rd and e2e tests share about a device and the handler in front
// of it.
namespace testing_support {

// A device stand-in's answers: for RDSERVICE the discovery document of a
// device that names `model` and the service marker; `otherBody` for every
// other verb.
ScriptedUpstream::Responder deviceNaming(const std::string& model, const std::string& otherBody);

// Writes DeviceConfig.xml naming `model` into the data directory under
// `dataBase` (what DataDirectory(dataBase) reads).
void writeDeviceModel(const std::string& dataBase, const std::string& model);

// Everything after the head of an HTTP answer; empty without a head.
std::string bodyOf(const std::string& answer);

// A request: the request line, `headers` (each ending in CRLF), a
// Content-Length when `body` is not empty, the blank line and the body.
std::string requestText(const std::string& method, const std::string& target,
                        const std::string& headers, const std::string& body = "");

// The LOCATION of an answer from 127.0.0.1:`port` for `path`.
std::string locationOn(int port, const std::string& path);

// An RD handler on a test server of its own, on a port the system chose.
class HandlerServer {
  public:
    explicit HandlerServer(ForwardingOptions options = ForwardingOptions(),
                           AllowedOrigins callers = AllowedOrigins());

    // Sends one request (see requestText) and returns the whole answer.
    std::string send(const std::string& method, const std::string& target,
                     const std::string& headers = "", const std::string& body = "");
    std::string location(const std::string& path) { return locationOn(port(), path); }
    int port() { return server_.port(); }

  private:
    ForwardingState forwarding_;
    RDSWrapperRestfulRequestHandler handler_;
    TestServer server_;
};

}  // namespace testing_support
