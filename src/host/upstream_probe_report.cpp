#include "host/upstream_probe_report.h"

#include <future>

#include "xml/xml_parser.h"
#include "http/web_server_startup.h"
#include "platform/escaped_text.h"
#include "rd/upstream.h"

namespace {

PortReport report(int port, ProbeOutcome outcome, std::string detail = std::string()) {
    return PortReport{port, outcome, std::move(detail)};
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

std::vector<PortReport> probeUpstreamPorts(const std::string& deviceModel) {
    std::vector<std::future<PortReport>> probes;
    for (int port = upstreamFirstPort; port <= upstreamLastPort; ++port) {
        probes.push_back(std::async(std::launch::async, [port, &deviceModel] {
            return classifyProbe(port, queryUpstreamRdService(port), deviceModel, isPortInUse);
        }));
    }
    std::vector<PortReport> reports;
    for (auto& probe : probes) {
        reports.push_back(probe.get());
    }
    return reports;
}

std::string formatPortReport(const PortReport& report) {
    std::string line = std::to_string(report.port) + ": " + outcomeText(report.outcome);
    if (!report.detail.empty()) {
        line += ": " + platform::escapeControlBytes(report.detail);
    }
    return line;
}
