#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "client/rest_response.h"
#include "client/transfer_limits.h"
#include "client/transfer_set.h"

class RestConnection;

// A set of RDSERVICE probes that run side by side, each exactly as rdServiceRequest
// sends it and over its own connection. The caller adds requests when it
// likes, collects answers as they come and may stop waiting at any time:
// whatever is still running then is dropped with this object. Use from one
// thread.
class ProbeSet {
  public:
    // Every probe runs within `limits`, its time-out included.
    explicit ProbeSet(const TransferLimits& limits);
    ~ProbeSet();
    ProbeSet(const ProbeSet&) = delete;
    ProbeSet& operator=(const ProbeSet&) = delete;

    // Starts a request to `url`, connected to `connectAddress` when that is
    // not empty (TransferLimits::connectAddress); returns its index (0 for
    // the first added).
    std::size_t add(const std::string& url, const std::string& connectAddress);
    // Waits at most `maxWaitMs` for more answers; returns (index, response)
    // for each request that finished.
    std::vector<std::pair<std::size_t, RestResponse>> wait(int maxWaitMs);
    bool pending() const { return transfers_.running() > 0; }

  private:
    TransferLimits limits_;
    std::vector<std::unique_ptr<RestConnection>> connections_;
    TransferSet transfers_;
};
