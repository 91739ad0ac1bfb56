#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "support/loopback.h"

namespace client_test {

// A one-request HTTP server on 127.0.0.1 and a free port, run on its own
// thread: it accepts one connection, records the request bytes (head and
// the body its Content-Length announces, answering "100 Continue" when
// asked), then sends the canned response and closes, or, when silent, waits
// for the client to give up. Every wait is bounded; the destructor stops
// and joins the thread.
class FakeUpstream {
  public:
    enum class Behaviour { kAnswer, kSilent };

    explicit FakeUpstream(std::string response, Behaviour behaviour = Behaviour::kAnswer);
    ~FakeUpstream();
    FakeUpstream(const FakeUpstream&) = delete;
    FakeUpstream& operator=(const FakeUpstream&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path) const;

    // Waits for the server thread to finish; the request bytes it received.
    std::string request();

  private:
    void serve();
    void record(testing_support::LoopbackSocket& connection);

    testing_support::LoopbackSocket listener_;
    int port_ = -1;
    std::string response_;
    Behaviour behaviour_;
    std::string request_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace client_test
