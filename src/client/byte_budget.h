#pragma once

#include <atomic>
#include <cstddef>
#include <string>

// A number of bytes that all requests in flight share: each takes what its
// buffers need before it fills them and gives it back when they are freed.
// Safe to use from any number of threads.
class ByteBudget {
  public:
    explicit ByteBudget(std::size_t limit) : limit_(limit) {}
    ByteBudget(const ByteBudget&) = delete;
    ByteBudget& operator=(const ByteBudget&) = delete;

    // Takes `bytes`; false, and nothing taken, when that would pass the limit.
    bool take(std::size_t bytes);
    void giveBack(std::size_t bytes) { inUse_.fetch_sub(bytes); }
    std::size_t inUse() const { return inUse_.load(); }
    std::size_t limit() const { return limit_; }

  private:
    const std::size_t limit_;
    std::atomic<std::size_t> inUse_{0};
};

// The part of a budget that the buffers of one request hold: it grows with
// them (each buffer adds its own growth) and is given back whole when the
// share ends. Without a budget every growth is granted. Use from one thread.
class BudgetShare {
  public:
    explicit BudgetShare(ByteBudget* budget) : budget_(budget) {}
    ~BudgetShare() { release(); }
    BudgetShare(const BudgetShare&) = delete;
    BudgetShare& operator=(const BudgetShare&) = delete;

    // Adds `bytes` to the share; false when the budget refuses (the share
    // is then unchanged, and refused() true from then on).
    bool grow(std::size_t bytes);
    // Gives the whole share back; returns how much it was.
    std::size_t release();
    std::size_t held() const { return held_; }
    // Whether the budget ever refused this share: what the failure of a
    // transfer or a discovery that followed came from.
    bool refused() const { return refused_; }

  private:
    ByteBudget* budget_;
    std::size_t held_ = 0;
    bool refused_ = false;
};

// Charges `share` (may be null: nothing to charge) before `buffer` takes
// `moreBytes` more: for the memory it will hold then, as a string that must
// grow at least doubles its capacity. `charged` is what the buffer holds of
// the share so far, and is raised to that. False, with nothing charged, when
// the share may not grow: the buffer must not take the bytes.
bool chargeBufferGrowth(BudgetShare* share, const std::string& buffer, std::size_t moreBytes,
                        std::size_t& charged);
