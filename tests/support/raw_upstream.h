#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback.h"

namespace testing_support {

// Set once, when a RawUpstream closes; scripts wait on it instead of sleeping.
class Stopping {
  public:
    void request();
    bool requested() const { return waitFor(0); }
    // Waits at most `timeoutMs`; true once set.
    bool waitFor(int timeoutMs) const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable set_;
    bool requested_ = false;
};

// A misbehaving upstream on 127.0.0.1:`port`: every connection runs `script`
// on a thread of its own with the request already read, so a script may hang,
// trickle or stream without end. Scripts must return once `stopping` is set;
// the destructor sets it, closes the listener and joins every thread.
class RawUpstream {
  public:
    using Script = std::function<void(LoopbackSocket& connection, const std::string& request,
                                      const Stopping& stopping)>;

    // `ipv6`: on ::1 alone instead of 127.0.0.1.
    RawUpstream(int port, Script script, bool ipv6 = false);
    ~RawUpstream();
    RawUpstream(const RawUpstream&) = delete;
    RawUpstream& operator=(const RawUpstream&) = delete;

    bool listening() const { return port_ > 0; }
    int port() const { return port_; }
    // "http://127.0.0.1:<port>" + path.
    std::string url(const std::string& path) const;
    // Every request that has arrived (head and body), in order of arrival.
    // A request is recorded before its script runs, so one that was answered
    // is always here.
    std::vector<std::string> requests();
    // The first request, or the empty text when none has arrived.
    std::string firstRequest();
    // How many requests with this method word have arrived.
    int count(const std::string& method);
    // Waits (at most `timeoutMs`) until `n` requests with this method word
    // have arrived; true when they have.
    bool waitForRequests(const std::string& method, int n, int timeoutMs);

  private:
    void acceptLoop();
    // With mutex_ held.
    int countLocked(const std::string& method) const;

    LoopbackSocket listener_;
    int port_ = -1;
    Script script_;
    const bool ipv6_;
    Stopping stopping_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::string> requests_;
    std::vector<std::thread> connections_;
    std::thread acceptor_;
};

// Scripts; each ends as soon as `stopping` is set.
// Answers nothing, ever.
void hangScript(LoopbackSocket&, const std::string&, const Stopping& stopping);
// Sends one byte of a status line every `intervalMs`, never finishing.
RawUpstream::Script trickleScript(int intervalMs);
// RDSERVICE: the discovery answer of a device of the default model; any
// other request: `other` (for example hangScript).
RawUpstream::Script deviceScript(RawUpstream::Script other);
// A 200 answer without a length whose body never ends (capped at 256 MiB).
void endlessBodyScript(LoopbackSocket& connection, const std::string&, const Stopping& stopping);

// Waits (bounded by `timeoutMs`) until `condition` holds.
bool eventually(const std::function<bool()>& condition, int timeoutMs);

}  // namespace testing_support
