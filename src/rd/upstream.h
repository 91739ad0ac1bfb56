#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "client/rest_response.h"
#include "client/transfer_limits.h"
#include "limits/service_limits.h"
#include "protocol/rd_protocol.h"

class BudgetShare;
class Cancellation;

// Finding and calling the upstream RD service on the local ports
// upstreamFirstPort..upstreamLastPort. Nothing is cached: every call stands
// alone, so any number of worker threads may call at once. A `cancel` (may
// be null) ends the transfers of a call at once, as failures.

// The names discovery and -check use for their limits (limits/service_limits.h).
constexpr int upstreamTimeoutSeconds = kServiceLimits.upstreamTimeoutSeconds;
constexpr std::size_t kMaxUpstreamAnswerBytes = kServiceLimits.maxUpstreamAnswerBytes;
constexpr std::size_t kMaxProbeAnswerBytes = kServiceLimits.maxProbeAnswerBytes;
constexpr int kDiscoveryGraceMs = kServiceLimits.discoveryGraceMs;
constexpr int kProbeStaggerMs = kServiceLimits.probeStaggerMs;

// Where discovery looks and how long it waits; tests narrow both.
struct DiscoveryOptions {
    int firstPort = upstreamFirstPort;
    int lastPort = upstreamLastPort;
    int graceMs = kDiscoveryGraceMs;
};

// Probes the range with RDSERVICE in ascending order, all remaining ports at
// once after one stays silent for kProbeStaggerMs, and returns the lowest port
// whose RDService answer names `deviceModel` and "Registered Device Service"
// in its info text, or -1; that port's answer goes to `winningAnswer` (may
// be null). A port that identified the device wins over lower ports still
// silent after `graceMs`. Ports in `ownPorts` (this server's own listeners)
// are skipped: a probe of ourselves would tie up a second worker and could
// even forward a request to ourselves. The probes' answers are held within
// `budget` (may be null): a probe it refuses fails.
int discoverUpstreamPort(const DiscoveryOptions& options, const std::vector<int>& ownPorts,
                         const std::string& deviceModel, Cancellation* cancel = nullptr,
                         RestResponse* winningAnswer = nullptr, BudgetShare* budget = nullptr);

// True when `response` is a discovery answer of the upstream RD service.
bool identifiesUpstream(const RestResponse& response, const std::string& deviceModel);

// "http://localhost:<port><path>": where the upstream is asked.
std::string upstreamUrl(int port, const char* path);

// One RDSERVICE to `port`; its answer is capped at kMaxProbeAnswerBytes.
RestResponse queryUpstreamRdService(int port, Cancellation* cancel = nullptr);
