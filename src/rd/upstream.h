#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "client/rest_response.h"
#include "client/transfer_limits.h"
#include "protocol/rd_protocol.h"

class Cancellation;

// Finding and calling the upstream RD service on the local ports
// upstreamFirstPort..upstreamLastPort. Nothing is cached: every call stands
// alone, so any number of worker threads may call at once. A `cancel` (may
// be null) ends the transfers of a call at once, as failures.

constexpr int upstreamTimeoutSeconds = 90;

// Largest answer of the upstream we hold (a PidData with its images).
constexpr std::size_t kMaxUpstreamAnswerBytes = 16 * 1024 * 1024;
// A discovery answer is a short document; a longer one is not a device's.
constexpr std::size_t kMaxProbeAnswerBytes = 64 * 1024;
// How long a port that has identified the device waits for lower ports that
// have not answered yet. A lone device that is slow to answer is waited for
// up to the full time-out; a hung neighbour below it costs only this.
constexpr int kDiscoveryGraceMs = 1000;
// Probes go one port after another while each answers at once; one silent
// for this long starts all the remaining ports at once.
constexpr int kProbeStaggerMs = 100;

// Where discovery looks and how long it waits; tests narrow both.
struct DiscoveryOptions {
    int firstPort = upstreamFirstPort;
    int lastPort = upstreamLastPort;
    int graceMs = kDiscoveryGraceMs;
    int staggerMs = kProbeStaggerMs;
};

// Probes the range with RDSERVICE in ascending order, all remaining ports at
// once after one stays silent for `staggerMs`, and returns the lowest port
// whose RDService answer names `deviceModel` and "Registered Device Service"
// in its info text, or -1; that port's answer goes to `winningAnswer` (may
// be null). A port that identified the device wins over lower ports still
// silent after `graceMs`. Ports in `ownPorts` (this server's own listeners)
// are skipped: a probe of ourselves would tie up a second worker and could
// even forward a request to ourselves.
int discoverUpstreamPort(const DiscoveryOptions& options, const std::vector<int>& ownPorts,
                         const std::string& deviceModel, Cancellation* cancel = nullptr,
                         RestResponse* winningAnswer = nullptr);

// True when `response` is a discovery answer of the upstream RD service.
bool identifiesUpstream(const RestResponse& response, const std::string& deviceModel);

// One RDSERVICE to `port`; its answer is capped at kMaxProbeAnswerBytes.
RestResponse queryUpstreamRdService(int port, Cancellation* cancel = nullptr);
// One request to the upstream on `port`, within `limits` (the caller's cap,
// budget and cancel).
RestResponse queryUpstreamDeviceInfo(int port, const TransferLimits& limits);
RestResponse queryUpstreamCapture(int port, const std::string& body, const TransferLimits& limits);
