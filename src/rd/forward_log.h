#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "rd/origin_policy.h"

struct mg_connection;

// What happened to one request meant for the upstream (CAPTURE, DEVICEINFO,
// the relayed discovery document), for the one line it leaves on the
// console and so in the service log. Filled by the worker that serves it.
struct ForwardRecord {
    // Values of upstreamPort besides a port.
    static constexpr int kNotAsked = 0;    // no discovery ran
    static constexpr int kNoneFound = -1;  // discovery found no upstream

    std::string verb;
    std::string uri;
    std::optional<std::string> origin;  // the Origin header, when sent
    CallerRefusal refusal = CallerRefusal::kNone;
    // Why an admitted caller was refused before the upstream was asked
    // (every forward place taken, the buffer budget spent); null otherwise.
    const char* capacityRefusal = nullptr;
    int upstreamPort = kNotAsked;
    // The code of the request sent to upstreamPort (RestResponse::code), when one was sent.
    std::optional<int> upstreamCode;
    // The PidData errCode sent; 0 when the upstream's answer was relayed.
    int errCode = 0;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
};

// The record of the request on `conn`, timed from now.
ForwardRecord startForwardRecord(mg_connection* conn);

// "Forward <verb> <uri>, origin <origin>|no origin: <what happened>,
// <elapsed> ms\n". The request's bytes are escaped, so a client can neither
// forge a line nor drive a terminal.
std::string formatForwardLine(const ForwardRecord& record, long long elapsedMs);

// Prints the record's line, with the time since it started, to standard output.
void printForwardLine(const ForwardRecord& record);
