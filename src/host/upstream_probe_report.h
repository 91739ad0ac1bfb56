#pragma once

#include <string>
#include <vector>

#include "client/rest_response.h"
#include "platform/account_identity.h"
#include "rd/listener_trust.h"
#include "rd/upstream.h"

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
    // Where the system's listener table shows a listener ("127.0.0.1",
    // "::1", "127.0.0.1 and ::1"), empty when it shows none or was not read.
    std::string listedOn;
    // The listed listener's owner, and whether a forward may reach it.
    platform::AccountIdentity owner;
    bool trusted = true;
};

// Classifies the answer `response` of `port` to queryUpstreamRdService.
// `portInUse` tells a port where nothing listens from one that accepted the
// connection and then failed the exchange; it is asked only then.
PortReport classifyProbe(int port, const RestResponse& response, const std::string& deviceModel,
                         bool (*portInUse)(int port));

// What the probe of every port of `options`' range found, ascending by port.
struct UpstreamSurvey {
    // False when the system's listener table could not be read: every port
    // was then probed, and `listedOn` is empty throughout.
    bool listenerTableRead = false;
    std::vector<PortReport> ports;
};

// Probes, at once and on the calling thread, each port the listener table
// lists (every port when it cannot be read), as a forward's discovery does
// (same request, address and probeLimits(limits, base)), so the whole takes
// at most one time-out; a port the table does not list is reported as
// nothing listening without a probe. Each listed port's owner is judged for
// a forward of a caller of `accounts`; an untrusted one is probed all the
// same, to show what it claims to be.
UpstreamSurvey surveyUpstreamPorts(const std::string& deviceModel, const DiscoveryOptions& options,
                                   const ServiceLimits& limits, const ForwardAccounts& accounts,
                                   const TransferLimits& base = {});

// "<port>: <outcome>[: <detail>][ (listener listed on <address>; <owner>:
// trusted|not trusted)]", control bytes escaped; a port the table does not
// list says so.
std::string formatPortReport(const PortReport& report, bool listenerTableRead);
