#include "host/upstream_probe_report.h"

#include <map>

#include "client/probe_set.h"
#include "xml/xml_parser.h"
#include "http/web_server_startup.h"
#include "text/escaped_text.h"

namespace {

PortReport report(int port, ProbeOutcome outcome, std::string detail = std::string()) {
    return PortReport{port, outcome, std::move(detail), std::string(), {}, true};
}

// Why a 200 answer is no discovery answer, or its info text.
std::string describeAnswer(const RestResponse& response) {
    XmlParseStatus status;
    XmlNodeRef service = parseXmlText(response.body.c_str(), &status, "RDService");
    if (status.code != XmlParseCode::None) {
        return "no RDService document";
    }
    const char* info = service.attributeValue("info");
    return info == nullptr ? "RDService without info" : "info \"" + std::string(info) + "\"";
}

const char* outcomeText(ProbeOutcome outcome) {
    switch (outcome) {
        case ProbeOutcome::kNothingListening:
            return "nothing listening";
        case ProbeOutcome::kNoAnswerInTime:
            return "no answer in time";
        case ProbeOutcome::kNotTheDevice:
            return "answers but does not name the device";
        case ProbeOutcome::kIdentifiesDevice:
            return "identifies the device";
    }
    return "";
}

// A port the listener table lists is one where something listens.
bool listedAsInUse(int) { return true; }

std::string listedAddresses(const platform::LoopbackListener& listener) {
    if (listener.ipv4 && listener.ipv6) {
        return std::string(kLoopbackAddress) + " and " + kLoopbackAddress6;
    }
    return listener.ipv4 ? kLoopbackAddress : kLoopbackAddress6;
}

// The listener table of the range, by port; false when it cannot be read.
bool readListeners(const DiscoveryOptions& options,
                   std::map<int, platform::LoopbackListener>& listed) {
    std::vector<platform::LoopbackListener> listeners;
    if (options.listListeners == nullptr ||
        !options.listListeners(options.firstPort, options.lastPort, listeners)) {
        return false;
    }
    for (const platform::LoopbackListener& listener : listeners) {
        listed[listener.port] = listener;
    }
    return true;
}

std::string kindText(platform::AccountKind kind) {
    switch (kind) {
        case platform::AccountKind::kSystem:
            return "a system account";
        case platform::AccountKind::kThisProcess:
            return "this program's account";
        case platform::AccountKind::kOrdinary:
        case platform::AccountKind::kUnknown:
            break;
    }
    return "an ordinary account";
}

std::string ownerText(const PortReport& report) {
    const std::string trust = report.trusted ? "trusted" : "not trusted";
    if (!report.owner.known()) {
        return "owner cannot be read: " + trust + " as before";
    }
    return "owned by " + text::escapeControlBytes(platform::accountName(report.owner)) + " (" +
           report.owner.id + ", " + kindText(report.owner.kind) + "): " + trust;
}

// Every target's answer, by port: all probes at once, each to its end.
std::map<int, RestResponse> probeAll(const std::vector<ProbeTarget>& targets,
                                     const TransferLimits& limits) {
    ProbeSet probes(limits);
    std::vector<int> portOfIndex;
    for (const ProbeTarget& target : targets) {
        probes.add(upstreamUrl(target.port, "/"), target.address);
        portOfIndex.push_back(target.port);
    }
    std::map<int, RestResponse> answers;
    // Each probe ends by its own time-out at the latest; the wait only
    // bounds one round.
    while (probes.pending()) {
        for (auto& [index, response] : probes.wait(limits.timeoutSeconds * 1000)) {
            answers[portOfIndex[index]] = std::move(response);
        }
    }
    return answers;
}

}  // namespace

PortReport classifyProbe(int port, const RestResponse& response, const std::string& deviceModel,
                         bool (*portInUse)(int port)) {
    if (response.code == kRestTimedOutCode) {
        return report(port, ProbeOutcome::kNoAnswerInTime);
    }
    if (response.code == kRestFailedCode) {
        if (!portInUse(port)) {
            return report(port, ProbeOutcome::kNothingListening);
        }
        return report(port, ProbeOutcome::kNotTheDevice,
                      response.headers.empty() ? "no HTTP answer" : "answer cut off or too long");
    }
    if (response.code != 200) {
        return report(port, ProbeOutcome::kNotTheDevice, "status " + std::to_string(response.code));
    }
    const ProbeOutcome outcome = identifiesUpstream(response, deviceModel)
                                     ? ProbeOutcome::kIdentifiesDevice
                                     : ProbeOutcome::kNotTheDevice;
    return report(port, outcome, describeAnswer(response));
}

UpstreamSurvey surveyUpstreamPorts(const std::string& deviceModel, const DiscoveryOptions& options,
                                   const ServiceLimits& limits, const ForwardAccounts& accounts,
                                   const TransferLimits& base) {
    UpstreamSurvey survey;
    std::map<int, platform::LoopbackListener> listed;
    survey.listenerTableRead = readListeners(options, listed);
    std::map<int, RestResponse> answers =
        probeAll(upstreamProbeTargets(options, {}), probeLimits(limits, base));
    for (int port = options.firstPort; port <= options.lastPort; ++port) {
        const auto answer = answers.find(port);
        if (answer == answers.end()) {
            survey.ports.push_back(report(port, ProbeOutcome::kNothingListening));
            continue;
        }
        PortReport portReport =
            classifyProbe(port, answer->second, deviceModel,
                          survey.listenerTableRead ? listedAsInUse : isPortInUse);
        const auto listener = listed.find(port);
        if (listener != listed.end()) {
            portReport.listedOn = listedAddresses(listener->second);
            portReport.owner = listener->second.owner;
            portReport.trusted = mayReceiveForward(portReport.owner, accounts);
        }
        survey.ports.push_back(std::move(portReport));
    }
    return survey;
}

std::string formatPortReport(const PortReport& report, bool listenerTableRead) {
    std::string line = std::to_string(report.port) + ": " + outcomeText(report.outcome);
    if (!report.detail.empty()) {
        line += ": " + text::escapeControlBytes(report.detail);
    }
    if (!listenerTableRead) {
        return line;
    }
    return line + (report.listedOn.empty() ? " (no listener listed)"
                                           : " (listener listed on " + report.listedOn + "; " +
                                                 ownerText(report) + ")");
}
