#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "client/rest_response.h"
#include "client/transfer_limits.h"
#include "client/transfer_set.h"

class RestConnection;

// One RDSERVICE request to each of several URLs, all at once, each exactly
// as rdServiceRequest sends it and over its own connection. The caller
// collects answers as they come and may stop waiting at any time: whatever
// is still running then is dropped with this object. Use from one thread.
class ParallelRdService {
  public:
    ParallelRdService(const std::vector<std::string>& urls, std::int32_t timeoutSeconds,
                      const TransferLimits& limits);
    ~ParallelRdService();
    ParallelRdService(const ParallelRdService&) = delete;
    ParallelRdService& operator=(const ParallelRdService&) = delete;

    // Waits at most `maxWaitMs` for more answers; returns (index into the
    // URLs, response) for each request that finished.
    std::vector<std::pair<std::size_t, RestResponse>> wait(int maxWaitMs);
    bool pending() const { return transfers_.running() > 0; }

  private:
    std::vector<std::unique_ptr<RestConnection>> connections_;
    TransferSet transfers_;
};
