#pragma once

#include <cstddef>
#include <limits>

class BudgetShare;
class Cancellation;

// Bounds of one upstream transfer beyond its time-out.
struct TransferLimits {
    // A longer response body ends the transfer as a failure.
    std::size_t maxBodyBytes = std::numeric_limits<std::size_t>::max();
    // When set, its cancel ends the transfer at once (a failure). Not owned.
    Cancellation* cancel = nullptr;
    // When set, the body's buffer grows only as far as this share of a
    // process-wide budget may grow; past it the transfer fails. Not owned.
    BudgetShare* budget = nullptr;
};
