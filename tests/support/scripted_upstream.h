#pragma once

#include <functional>
#include <string>

#include "support/raw_upstream.h"

namespace testing_support {

// Reads one HTTP request (head and the body its Content-Length announces,
// answering "100 Continue" when asked) from `connection`. Bounded by `timeoutMs`.
std::string receiveHttpRequest(LoopbackSocket& connection, int timeoutMs);

// The request's method word.
std::string requestMethod(const std::string& request);

// A 200 answer with `body` (any bytes) and a Content-Length.
std::string httpAnswer(const std::string& body, int status = 200);

// An upstream on 127.0.0.1:`port` (0 = a free port) that answers every
// request with what `respond` returns for the request bytes, and records the
// requests (RawUpstream::requests).
class ScriptedUpstream : public RawUpstream {
  public:
    using Responder = std::function<std::string(const std::string& request)>;

    // `ipv6`: on ::1 alone instead of 127.0.0.1.
    ScriptedUpstream(int port, Responder respond, bool ipv6 = false);
    // On a free port, sends the raw bytes `answer` to every request.
    explicit ScriptedUpstream(const std::string& answer);
};

}  // namespace testing_support
