#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "client/rest_response.h"
#include "client/transfer_limits.h"
#include "limits/service_limits.h"
#include "platform/loopback_listeners.h"
#include "protocol/rd_protocol.h"
#include "rd/listener_trust.h"

// Finding and calling the upstream RD service on the local ports
// upstreamFirstPort..upstreamLastPort. Nothing is cached: every call stands
// alone, so any number of worker threads may call at once. The `base`
// limits of a call lend its cancel (which ends its transfers at once, as
// failures) and its handle pool to every request it makes.

// Where discovery looks; tests narrow the range. How long it waits comes
// from the ServiceLimits value each call is given.
struct DiscoveryOptions {
    int firstPort = upstreamFirstPort;
    int lastPort = upstreamLastPort;
    // The system's listener table, read anew for every discovery: only
    // ports with a listener are probed, each on the address that listens.
    bool (*listListeners)(int firstPort, int lastPort,
                          std::vector<platform::LoopbackListener>& listeners) =
        platform::listLoopbackListenersIfCheap;
};

// A listener discovery left out for its owner; port 0 when none was.
struct RefusedListener {
    int port = 0;
    platform::AccountIdentity owner;
};

// Probes the range with RDSERVICE in ascending order, all remaining ports at
// once after one stays silent for limits.probeStaggerMs, and returns the lowest port
// whose RDService answer names `deviceModel` and "Registered Device Service"
// in its info text, or -1; that port's answer goes to `winningAnswer` and the
// address it answered on to `connectAddress` (TransferLimits::connectAddress;
// empty when the listener table could not be read), each when not null. A
// port that identified the device wins over lower ports still silent after
// limits.discoveryGraceMs. A port where the listener table shows nothing listening fails at
// once, unprobed: on Windows a refused loopback connect takes about 2 s. When
// the table cannot be read, every port is probed by name. Ports in `ownPorts`
// (this server's own listeners) are skipped: a probe of ourselves would tie
// up a second worker and could even forward a request to ourselves. The
// probes' answers are held within base.budget (may be null): a probe it
// refuses fails. Each probe runs within probeLimits(limits, base). A
// listener whose owner `trust` refuses fails at once, unprobed: it never
// receives a byte; the lowest such goes to `refused` when not null.
int discoverUpstreamPort(const DiscoveryOptions& options, const ServiceLimits& limits,
                         const std::vector<int>& ownPorts, ListenerTrust& trust,
                         const std::string& deviceModel, const TransferLimits& base = {},
                         RestResponse* winningAnswer = nullptr,
                         std::string* connectAddress = nullptr, RefusedListener* refused = nullptr);

// A port of the range worth probing, and the loopback address to connect to
// (empty: by name).
struct ProbeTarget {
    int port = 0;
    std::string address;
    // Its owner as the listener table names it; unknown when probed by name.
    platform::AccountIdentity owner;
};

// The targets `trust` lets receive a forward, in their order; the lowest one
// it refuses goes to `refused`.
std::vector<ProbeTarget> trustedProbeTargets(const std::vector<ProbeTarget>& targets,
                                             ListenerTrust& trust, RefusedListener& refused);

// The ports of `options`' range that discovery probes, ascending, without
// `ownPorts`: those the listener table lists, each on its address (IPv4 where
// both listen), or every port by name when the table cannot be read.
std::vector<ProbeTarget> upstreamProbeTargets(const DiscoveryOptions& options,
                                              const std::vector<int>& ownPorts);

// "http://localhost:<port><path>", the URL of every upstream request.
std::string upstreamUrl(int port, const char* path);

// True when `response` is a discovery answer of the upstream RD service.
bool identifiesUpstream(const RestResponse& response, const std::string& deviceModel);

// A discovery probe's bounds: the upstream time-out and the cap of a
// discovery answer, with base's cancel, budget, handles and address.
TransferLimits probeLimits(const ServiceLimits& limits, const TransferLimits& base);

// One request to the upstream on `port` (on limits.connectAddress when not
// empty), within `limits` (the caller's time-out, cap, budget and cancel).
RestResponse queryUpstreamRdService(int port, const TransferLimits& limits);
RestResponse queryUpstreamDeviceInfo(int port, const TransferLimits& limits);
RestResponse queryUpstreamCapture(int port, const std::string& body, const TransferLimits& limits);
