#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "client/rest_response.h"

class Cancellation;

// Finding and calling the upstream RD service on the local ports
// upstreamFirstPort..upstreamLastPort. Nothing is cached: every call stands
// alone, so any number of worker threads may call at once. A `cancel` (may
// be null) ends the transfers of a call at once, as failures.

constexpr int upstreamFirstPort = 11100;
constexpr int upstreamLastPort = 11120;
constexpr int upstreamTimeoutSeconds = 90;

// Largest upstream answer body we hold.
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

// Probes the range with RDSERVICE in ascending order, all remaining ports at
// once after one stays silent for kProbeStaggerMs, and returns the lowest
// port whose RDService answer names `deviceModel` and "Registered Device
// Service" in its info text, or -1. A port that identified the device wins
// over lower ports still silent after kDiscoveryGraceMs. Ports in `ownPorts`
// (this server's own listeners) are skipped: a probe of ourselves would tie
// up a second worker and could even forward a request to ourselves.
int discoverUpstreamPort(const std::vector<int>& ownPorts, const std::string& deviceModel,
                         Cancellation* cancel = nullptr);

// True when `response` is a discovery answer of the upstream RD service.
bool identifiesUpstream(const RestResponse& response, const std::string& deviceModel);

RestResponse queryUpstreamRdService(int port, Cancellation* cancel = nullptr);
RestResponse queryUpstreamDeviceInfo(int port, Cancellation* cancel = nullptr);
RestResponse queryUpstreamCapture(int port, const std::string& body,
                                  Cancellation* cancel = nullptr);
