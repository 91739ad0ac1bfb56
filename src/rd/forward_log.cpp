#include "rd/forward_log.h"

#include <civetweb.h>

#include <cstdio>

#include "client/rest_response.h"
#include "text/escaped_text.h"

namespace {

std::string upstreamText(const ForwardOutcome& outcome) {
    return "upstream port " + std::to_string(outcome.upstreamPort);
}

// What the upstream's answer was when it could not be relayed.
std::string failureText(int code) {
    if (code == kRestFailedCode) {
        return " failed";
    }
    if (code == kRestTimedOutCode) {
        return " timed out";
    }
    return " answered status " + std::to_string(code);
}

std::string endText(const ForwardOutcome& outcome) {
    const int code = outcome.upstreamCode.value_or(0);
    switch (outcome.end) {
        case ForwardEnd::kRelayed:
            return upstreamText(outcome) + ", relayed status " + std::to_string(code);
        case ForwardEnd::kOriginNotAllowed:
            return "refused, origin not allowed";
        case ForwardEnd::kHostNotLoopback:
            return "refused, Host is not a loopback name";
        case ForwardEnd::kUnsupportedPath:
        case ForwardEnd::kBodyInvalid:
            return "upstream not asked";
        case ForwardEnd::kEveryPlaceTaken:
            return "refused, every forward place taken";
        case ForwardEnd::kBudgetSpent:
            return (outcome.upstreamPort > 0 ? upstreamText(outcome) + ", " : "") +
                   "refused, buffer budget spent";
        case ForwardEnd::kNoUpstreamFound:
            return "no upstream found";
        case ForwardEnd::kUpstreamNotTrusted:
            return upstreamText(outcome) + " not trusted: owned by " +
                   text::escapeControlBytes(outcome.refusedOwner);
        case ForwardEnd::kUpstreamFailed:
            return upstreamText(outcome) + failureText(code);
    }
    return "";
}

std::string outcomeText(const ForwardOutcome& outcome) {
    const int errCode = errCodeOf(outcome.end);
    return endText(outcome) + (errCode != 0 ? ", errCode " + std::to_string(errCode) : "");
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
        record.origin ? "origin " + text::escapeControlBytes(*record.origin) : "no origin";
    return "Forward " + text::escapeControlBytes(record.verb) + " " +
           text::escapeControlBytes(record.uri) + ", " + caller + ": " + outcomeText(outcome) +
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
