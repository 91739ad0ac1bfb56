#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

class BudgetShare;
class Cancellation;
class HandlePool;

// Bounds of one upstream transfer, and where it connects.
struct TransferLimits {
    // Whole-transfer time-out in seconds, as the one-shot requests and
    // ProbeSet hand it to RestConnection::setTimeout; 0: none.
    std::int32_t timeoutSeconds = 0;
    // A longer response body ends the transfer as a failure.
    std::size_t maxBodyBytes = std::numeric_limits<std::size_t>::max();
    // When set, its cancel ends the transfer at once (a failure). Not owned.
    Cancellation* cancel = nullptr;
    // When set, the body's buffer grows only as far as this share of a
    // process-wide budget may grow; past it the transfer fails. Not owned.
    BudgetShare* budget = nullptr;
    // When set, the transfer's handles are leased from it. Not owned.
    HandlePool* handles = nullptr;
    // The address to connect to in place of the URL's host name ("127.0.0.1"
    // or "::1"), which the request still names in its Host line; empty: the
    // name is looked up as usual.
    std::string connectAddress;
};
