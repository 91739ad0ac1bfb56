#pragma once

#include <string>
#include <vector>

#include "client/rest_response.h"

// What each port of the upstream range answers to the discovery probe a
// forward sends, for the -check command.

enum class ProbeOutcome {
    kNothingListening,
    kNoAnswerInTime,
    kNotTheDevice,  // answers, but not as the upstream of the device
    kIdentifiesDevice,
};

struct PortReport {
    int port = 0;
    ProbeOutcome outcome = ProbeOutcome::kNothingListening;
    // For an answer: its info text, or why it is no discovery answer.
    std::string detail;
};

// Classifies the answer `response` of `port` to queryUpstreamRdService.
// `portInUse` tells a port where nothing listens from one that accepted the
// connection and then failed the exchange; it is asked only then.
PortReport classifyProbe(int port, const RestResponse& response, const std::string& deviceModel,
                         bool (*portInUse)(int port));

// Probes upstreamFirstPort..upstreamLastPort at once, each as a forward's
// discovery does (same request, same time-out), so the whole takes at most
// one time-out. Ascending by port.
std::vector<PortReport> probeUpstreamPorts(const std::string& deviceModel);

// "<port>: <outcome>[: <detail>]", control bytes escaped.
std::string formatPortReport(const PortReport& report);
