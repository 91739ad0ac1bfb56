#include "client/byte_budget.h"

#include <algorithm>

bool ByteBudget::take(std::size_t bytes) {
    std::size_t used = inUse_.load();
    do {
        if (bytes > limit_ - used) {
            return false;
        }
    } while (!inUse_.compare_exchange_weak(used, used + bytes));
    return true;
}

bool BudgetShare::grow(std::size_t bytes) {
    if (budget_ != nullptr && !budget_->take(bytes)) {
        refused_ = true;
        return false;
    }
    held_ += bytes;
    return true;
}

std::size_t BudgetShare::release() {
    const std::size_t held = held_;
    if (budget_ != nullptr) {
        budget_->giveBack(held);
    }
    held_ = 0;
    return held;
}

bool chargeBufferGrowth(BudgetShare* share, const std::string& buffer, std::size_t moreBytes,
                        std::size_t& charged) {
    const std::size_t needed = buffer.size() + moreBytes;
    const std::size_t held =
        needed <= buffer.capacity() ? buffer.capacity() : std::max(needed, 2 * buffer.capacity());
    if (held > charged && share != nullptr && !share->grow(held - charged)) {
        return false;
    }
    charged = std::max(charged, held);
    return true;
}
