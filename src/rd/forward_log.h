#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "rd/caller_facts.h"
#include "rd/forward.h"

struct mg_connection;

// The request meant for the upstream (CAPTURE, DEVICEINFO, the relayed
// discovery document) that one console line, and so the service log, tells
// of, with what became of it (ForwardOutcome).
struct ForwardRecord {
    std::string verb;
    std::string uri;
    std::optional<std::string> origin;  // the Origin header, when sent
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
};

// The record of the request on `conn` from `caller`, timed from now.
ForwardRecord startForwardRecord(mg_connection* conn, const CallerFacts& caller);

// "Forward <verb> <uri>, origin <origin>|no origin: <what happened>,
// <elapsed> ms\n". The request's bytes are escaped, so a client can neither
// forge a line nor drive a terminal.
std::string formatForwardLine(const ForwardRecord& record, const ForwardOutcome& outcome,
                              long long elapsedMs);

// Prints the line, with the time since the record started, to standard output.
void printForwardLine(const ForwardRecord& record, const ForwardOutcome& outcome);
