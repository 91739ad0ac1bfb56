#pragma once

#include "support/loopback.h"

namespace testing_support {

// `count` (at most kMaxReservedPorts) consecutive ports, each free on every
// address when reserved, that no other test on this machine is given while
// this object lives, in this process or any other: the ports come in blocks,
// and a block is taken by holding its last port listening on the loopback
// address, which only one socket can do. The system frees the block when the
// process ends, however it ends. first() is -1 when no block was free.
class PortRange {
  public:
    static constexpr int kMaxReservedPorts = 31;

    explicit PortRange(int count);
    PortRange(const PortRange&) = delete;
    PortRange& operator=(const PortRange&) = delete;

    int first() const { return first_; }
    // The port `offset` places above first().
    int at(int offset) const { return first_ + offset; }

  private:
    LoopbackSocket claim_;
    int first_ = -1;
};

}  // namespace testing_support
