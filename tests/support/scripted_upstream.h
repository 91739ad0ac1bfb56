#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback.h"

namespace testing_support {

// Reads one HTTP request (head and the body its Content-Length announces,
// answering "100 Continue" when asked) from `connection`. Bounded by `timeoutMs`.
std::string receiveHttpRequest(LoopbackSocket& connection, int timeoutMs);

// The request's method word.
std::string requestMethod(const std::string& request);

// An upstream on 127.0.0.1:`port` (0 = a free port) run on its own thread:
// it answers every request with what `respond` returns for the request bytes
// and records the requests. Every wait is bounded; the destructor stops and
// joins the thread.
class ScriptedUpstream {
  public:
    using Responder = std::function<std::string(const std::string& request)>;

    ScriptedUpstream(int port, Responder respond);
    ~ScriptedUpstream();
    ScriptedUpstream(const ScriptedUpstream&) = delete;
    ScriptedUpstream& operator=(const ScriptedUpstream&) = delete;

    bool listening() const { return port_ > 0; }
    int port() const { return port_; }
    std::vector<std::string> requests();

  private:
    void serve();

    LoopbackSocket listener_;
    int port_ = -1;
    Responder respond_;
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A 200 answer with `body` (any bytes) and a Content-Length.
std::string httpAnswer(const std::string& body, int status = 200);

}  // namespace testing_support
