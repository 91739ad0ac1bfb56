#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "client/byte_budget.h"
#include "rd/caller_facts.h"
#include "rd/forwarding_state.h"

struct mg_connection;

// The requests that go to the upstream RD service. Each runs discovery anew
// and is relayed under the RD header block, or answered with a PidData error
// document. A forward is refused at once, before any of its body is read,
// when the buffers it needs would pass the process's budget; it takes a
// place among the forwards only once its body is in, and is refused when
// none is free.

// What a client's request becomes upstream: CAPTURE on "/rd/capture" (its
// body goes upstream unchanged), DEVICEINFO on "/rd/info", and GET or
// RDSERVICE on "/rdservice" (the upstream's own discovery document, the very
// answer with which it identified itself).
enum class UpstreamVerb { Capture, DeviceInfo, RdService };

// How one forward ended; its errCode, its answer and its line follow from it.
enum class ForwardEnd {
    kRelayed,           // the upstream's answer goes to the caller
    kOriginNotAllowed,  // the caller's headers are refused (CallerRefusal)
    kHostNotLoopback,
    kUnsupportedPath,
    kBodyInvalid,  // too large, cut, stalled, not in by its deadline, or refused by the engine
    kEveryPlaceTaken,
    kBudgetSpent,  // the buffers it needed would pass the process's budget
    kNoUpstreamFound,
    kUpstreamNotTrusted,  // none found, and a listener was left out for its owner
    kUpstreamFailed,      // no usable answer from the port found
};

// What became of one forwarded request: all its answer and its log line need.
struct ForwardOutcome {
    ForwardEnd end = ForwardEnd::kRelayed;
    // The port discovery found (for kUpstreamNotTrusted: the lowest one left
    // out for its owner); 0 when none was found or asked.
    int upstreamPort = 0;
    // The code of the request sent to upstreamPort (RestResponse::code), when one was sent.
    std::optional<int> upstreamCode;
    // The upstream's body to relay, byte for byte.
    std::string answer;
    // For kUpstreamNotTrusted, upstreamPort's owner as people name it.
    std::string refusedOwner;
};

// The PidData errCode of a forward that ended so; 0 for kRelayed.
int errCodeOf(ForwardEnd end);

// What one forward holds until its client has the answer: its place among
// the forwards and its buffers' share of the budget. When it lets go of a
// large share, freed memory goes back to the system.
class ForwardHold {
  public:
    explicit ForwardHold(ForwardingState& state) : state_(state), share_(&state.budget) {}
    ~ForwardHold();
    ForwardHold(const ForwardHold&) = delete;
    ForwardHold& operator=(const ForwardHold&) = delete;

    // Takes a place; false when every place is taken.
    bool takePlace();
    BudgetShare& share() { return share_; }

  private:
    ForwardingState& state_;
    BudgetShare share_;
    bool counted_ = false;
};

// Forwards the request on `conn` top-down: admits `caller`, reads the
// body, discovers the upstream (skipping `ownPorts`), forwards and returns
// what to relay. Writes nothing to `conn`; `hold` must outlive the answer.
ForwardOutcome forward(ForwardingState& state, ForwardHold& hold, UpstreamVerb verb,
                       const CallerFacts& caller, mg_connection* conn,
                       const std::vector<int>& ownPorts);
