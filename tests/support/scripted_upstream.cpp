#include "support/scripted_upstream.h"

#include <cstdlib>

namespace testing_support {
namespace {

const char* const kHeadEnd = "\r\n\r\n";

std::size_t contentLength(const std::string& head) {
    const std::string field = "\r\nContent-Length: ";
    const std::size_t at = head.find(field);
    return at == std::string::npos ? 0
                                   : std::strtoul(head.c_str() + at + field.size(), nullptr, 10);
}

}  // namespace

std::string receiveHttpRequest(LoopbackSocket& connection, int timeoutMs) {
    std::string request = connection.receiveUntil(kHeadEnd, timeoutMs);
    const std::size_t headEnd = request.find(kHeadEnd);
    if (headEnd == std::string::npos) {
        return request;
    }
    const std::string head = request.substr(0, headEnd + 4);
    if (head.find("\r\nExpect: 100-continue\r\n") != std::string::npos) {
        connection.sendAll("HTTP/1.1 100 Continue\r\n\r\n");
    }
    const std::size_t total = head.size() + contentLength(head);
    while (request.size() < total) {
        const std::string more = connection.receiveUntilClosed(timeoutMs, total - request.size());
        if (more.empty()) {
            break;
        }
        request += more;
    }
    return request;
}

std::string requestMethod(const std::string& request) {
    return request.substr(0, request.find(' '));
}

std::string httpAnswer(const std::string& body, int status) {
    return "HTTP/1.1 " + std::to_string(status) +
           " X\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

ScriptedUpstream::ScriptedUpstream(int port, Responder respond, bool ipv6)
    : RawUpstream(
          port,
          [respond](LoopbackSocket& connection, const std::string& request, const Stopping&) {
              connection.sendAll(respond(request));
          },
          ipv6) {}

ScriptedUpstream::ScriptedUpstream(const std::string& answer)
    : ScriptedUpstream(0, [answer](const std::string&) { return answer; }) {}

}  // namespace testing_support
