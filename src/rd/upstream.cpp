#include "rd/upstream.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <utility>

#include "client/probe_set.h"
#include "client/rd_requests.h"
#include "xml/xml_parser.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string& addressOf(const std::vector<ProbeTarget>& targets, int port) {
    return std::find_if(targets.begin(), targets.end(),
                        [port](const ProbeTarget& target) { return target.port == port; })
        ->address;
}

bool isOwnPort(int port, const std::vector<int>& ownPorts) {
    return std::find(ownPorts.begin(), ownPorts.end(), port) != ownPorts.end();
}

// What discovery knows of each probed port while answers come in.
class ProbeOutcomes {
  public:
    ProbeOutcomes(const std::vector<int>& ports, int graceMs) : ports_(ports), graceMs_(graceMs) {}

    void markIdentified(std::size_t index, RestResponse answer) {
        identifiedAt_[ports_[index]] = Clock::now();
        answers_.emplace(ports_[index], std::move(answer));
    }
    void markFailed(std::size_t index) { failed_.push_back(ports_[index]); }
    // The answer of a port that identified the device.
    RestResponse takeAnswer(int port) { return std::move(answers_[port]); }

    // The winner once it is certain: the lowest port that identified the
    // device when every port below it failed, or when it identified at least
    // the grace period ago. -1 while undecided (or nothing identified).
    int winner() const {
        for (int port : ports_) {
            if (identifiedAt_.count(port) != 0) {
                return port;
            }
            if (!hasFailed(port)) {
                return lowestIdentifiedPastGrace();
            }
        }
        return -1;
    }

    // How long until the grace period of the lowest identified port ends.
    int msUntilGraceEnds() const {
        if (identifiedAt_.empty()) {
            return graceMs_;
        }
        const auto left =
            identifiedAt_.begin()->second + std::chrono::milliseconds(graceMs_) - Clock::now();
        return static_cast<int>(std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
    }

    // The lowest identified port, whatever is still pending below it.
    int lowestIdentified() const {
        return identifiedAt_.empty() ? -1 : identifiedAt_.begin()->first;
    }

  private:
    bool hasFailed(int port) const {
        return std::find(failed_.begin(), failed_.end(), port) != failed_.end();
    }
    int lowestIdentifiedPastGrace() const {
        return !identifiedAt_.empty() && msUntilGraceEnds() == 0 ? identifiedAt_.begin()->first
                                                                 : -1;
    }

    std::vector<int> ports_;
    int graceMs_;
    std::vector<int> failed_;
    std::map<int, Clock::time_point> identifiedAt_;
    std::map<int, RestResponse> answers_;
};

}  // namespace

// A discovery answer is a short document: a longer one fails the probe.
TransferLimits probeLimits(const ServiceLimits& limits, const TransferLimits& base) {
    TransferLimits probe = base;
    probe.maxBodyBytes = limits.maxProbeAnswerBytes;
    probe.timeoutSeconds = limits.upstreamTimeoutSeconds;
    return probe;
}

std::vector<ProbeTarget> upstreamProbeTargets(const DiscoveryOptions& options,
                                              const std::vector<int>& ownPorts) {
    std::vector<ProbeTarget> targets;
    std::vector<platform::LoopbackListener> listeners;
    if (options.listListeners == nullptr ||
        !options.listListeners(options.firstPort, options.lastPort, listeners)) {
        for (int port = options.firstPort; port <= options.lastPort; ++port) {
            if (!isOwnPort(port, ownPorts)) {
                targets.push_back(ProbeTarget{port, std::string(), {}});
            }
        }
        return targets;
    }
    for (const platform::LoopbackListener& listener : listeners) {
        if (!isOwnPort(listener.port, ownPorts) && (listener.ipv4 || listener.ipv6)) {
            targets.push_back(ProbeTarget{listener.port,
                                          listener.ipv4 ? kLoopbackAddress : kLoopbackAddress6,
                                          listener.owner});
        }
    }
    return targets;
}

std::vector<ProbeTarget> trustedProbeTargets(const std::vector<ProbeTarget>& targets,
                                             ListenerTrust& trust, RefusedListener& refused) {
    std::vector<ProbeTarget> trusted;
    for (const ProbeTarget& target : targets) {
        if (trust.trusts(target.owner)) {
            trusted.push_back(target);
        } else if (refused.port == 0) {
            refused = RefusedListener{target.port, target.owner};
        }
    }
    return trusted;
}

std::string upstreamUrl(int port, const char* path) {
    return std::string("http://") + kUpstreamHostName + ":" + std::to_string(port) + path;
}

bool identifiesUpstream(const RestResponse& response, const std::string& deviceModel) {
    if (response.code != 200) {
        return false;
    }
    XmlParseStatus status;
    XmlNodeRef service = parseXmlText(response.body.c_str(), &status, "RDService");
    if (status.code != XmlParseCode::None) {
        return false;
    }
    const char* info = service.attributeValue("info");
    if (info == nullptr) {
        return false;
    }
    return std::strstr(info, deviceModel.c_str()) != nullptr &&
           std::strstr(info, kServiceMarker) != nullptr;
}

// Probes in ascending order until the winner is certain; see the header.
int discoverUpstreamPort(const DiscoveryOptions& options, const ServiceLimits& limits,
                         const std::vector<int>& ownPorts, ListenerTrust& trust,
                         const std::string& deviceModel, const TransferLimits& base,
                         RestResponse* winningAnswer, std::string* connectAddress,
                         RefusedListener* refused) {
    RefusedListener firstRefused;
    const std::vector<ProbeTarget> targets =
        trustedProbeTargets(upstreamProbeTargets(options, ownPorts), trust, firstRefused);
    if (refused != nullptr) {
        *refused = firstRefused;
    }
    std::vector<int> ports;
    for (const ProbeTarget& target : targets) {
        ports.push_back(target.port);
    }
    ProbeSet probes(probeLimits(limits, base));
    ProbeOutcomes outcomes(ports, limits.discoveryGraceMs);
    const auto decided = [&](int port) {
        if (port >= 0 && winningAnswer != nullptr) {
            *winningAnswer = outcomes.takeAnswer(port);
        }
        if (port >= 0 && connectAddress != nullptr) {
            *connectAddress = addressOf(targets, port);
        }
        return port;
    };
    std::size_t launched = 0;
    // Ports are probed in ascending order, one after another while each
    // answers at once (a port where nothing listens fails at once), so the
    // common case costs what it always did. A probe that stays silent for
    // limits.probeStaggerMs starts every remaining port at once.
    const auto launch = [&](std::size_t upTo) {
        for (; launched < upTo; ++launched) {
            probes.add(upstreamUrl(targets[launched].port, "/"), targets[launched].address);
        }
    };
    while (true) {
        const int winner = outcomes.winner();
        if (winner >= 0) {
            return decided(winner);
        }
        if (!probes.pending()) {
            if (launched == ports.size()) {
                return decided(outcomes.lowestIdentified());  // never answered counts as failed
            }
            launch(launched + 1);
            continue;
        }
        const bool allLaunched = launched == ports.size();
        const auto answers =
            probes.wait(allLaunched ? outcomes.msUntilGraceEnds() : limits.probeStaggerMs);
        for (auto& [index, response] : answers) {
            if (identifiesUpstream(response, deviceModel)) {
                outcomes.markIdentified(index, std::move(response));
            } else {
                outcomes.markFailed(index);
            }
        }
        if (answers.empty() && !allLaunched) {
            launch(ports.size());
        }
    }
}

RestResponse queryUpstreamRdService(int port, const TransferLimits& limits) {
    return rdServiceRequest(upstreamUrl(port, "/"), limits.timeoutSeconds, limits);
}

RestResponse queryUpstreamDeviceInfo(int port, const TransferLimits& limits) {
    return deviceInfoRequest(upstreamUrl(port, kDeviceInfoPath), limits.timeoutSeconds, limits);
}

RestResponse queryUpstreamCapture(int port, const std::string& body, const TransferLimits& limits) {
    return captureRequest(upstreamUrl(port, kCapturePath), "", body, limits.timeoutSeconds, limits);
}
