#pragma once

#include <string>
#include <vector>

#include "client/rest_response.h"

// Finding and calling the upstream RD service on the local ports
// upstreamFirstPort..upstreamLastPort. Nothing is cached: every call stands
// alone, so any number of worker threads may call at once.

constexpr int upstreamFirstPort = 11100;
constexpr int upstreamLastPort = 11120;
constexpr int upstreamTimeoutSeconds = 90;

// Probes the range in ascending order with RDSERVICE and returns the first
// port whose RDService answer names the device model and "Registered Device
// Service" in its info text, or -1. Ports in `ownPorts` (this server's own
// listeners) are skipped: a probe of ourselves would tie up a second worker
// and could even forward a request to ourselves.
int discoverUpstreamPort(const std::vector<int>& ownPorts);

// True when `response` is a discovery answer of the upstream RD service.
bool identifiesUpstream(const RestResponse& response);

RestResponse queryUpstreamRdService(int port);
RestResponse queryUpstreamDeviceInfo(int port);
RestResponse queryUpstreamCapture(int port, const std::string& body);
