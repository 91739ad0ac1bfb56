#include "rd/forward_log.h"

#include <civetweb.h>

#include <cstdio>

#include "client/rest_response.h"
#include "platform/escaped_text.h"

namespace {

std::string refusalText(CallerRefusal refusal) {
    switch (refusal) {
        case CallerRefusal::kOriginNotAllowed:
            return "refused, origin not allowed";
        case CallerRefusal::kHostNotLoopback:
            return "refused, Host is not a loopback name";
        case CallerRefusal::kNone:
            break;
    }
    return "upstream not asked";
}

std::string capacityText(CapacityRefusal refusal) {
    return refusal == CapacityRefusal::kEveryPlaceTaken ? "refused, every forward place taken"
                                                        : "refused, buffer budget spent";
}

std::string upstreamAnswerText(const ForwardOutcome& outcome) {
    if (outcome.capacityRefusal != CapacityRefusal::kNone) {
        return ", " + capacityText(outcome.capacityRefusal);
    }
    if (!outcome.upstreamCode) {
        return "";
    }
    const int code = *outcome.upstreamCode;
    if (outcome.errCode == 0) {
        return ", relayed status " + std::to_string(code);
    }
    if (code == kRestFailedCode) {
        return " failed";
    }
    if (code == kRestTimedOutCode) {
        return " timed out";
    }
    return " answered status " + std::to_string(code);
}

std::string outcomeText(const ForwardOutcome& outcome) {
    std::string text;
    if (outcome.upstreamPort > 0) {
        text =
            "upstream port " + std::to_string(outcome.upstreamPort) + upstreamAnswerText(outcome);
    } else if (outcome.capacityRefusal != CapacityRefusal::kNone) {
        text = capacityText(outcome.capacityRefusal);
    } else if (outcome.upstreamPort == ForwardOutcome::kNoneFound) {
        text = "no upstream found";
    } else {
        text = refusalText(outcome.callerRefusal);
    }
    if (outcome.errCode != 0) {
        text += ", errCode " + std::to_string(outcome.errCode);
    }
    return text;
}

}  // namespace

ForwardRecord startForwardRecord(mg_connection* conn, const CallerFacts& caller) {
    const mg_request_info* info = mg_get_request_info(conn);
    ForwardRecord record;
    record.verb = info->request_method;
    record.uri = info->request_uri;
    record.origin = caller.origin;
    return record;
}

std::string formatForwardLine(const ForwardRecord& record, const ForwardOutcome& outcome,
                              long long elapsedMs) {
    const std::string caller =
        record.origin ? "origin " + platform::escapeControlBytes(*record.origin) : "no origin";
    return "Forward " + platform::escapeControlBytes(record.verb) + " " +
           platform::escapeControlBytes(record.uri) + ", " + caller + ": " + outcomeText(outcome) +
           ", " + std::to_string(elapsedMs) + " ms\n";
}

void printForwardLine(const ForwardRecord& record, const ForwardOutcome& outcome) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - record.started);
    const std::string line = formatForwardLine(record, outcome, elapsed.count());
    // One write per line: the lines of concurrent forwards never interleave.
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}
