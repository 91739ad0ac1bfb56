#include "support/port_range.h"

#include <utility>

#include "platform/net.h"

namespace testing_support {
namespace {

// Below the systems' ranges for ephemeral ports (Linux from 32768, Windows
// from 49152), so no port 0 binding lands in a block, and away from the RD
// range 11100-11120.
constexpr int kFirstBlockPort = 14000;
constexpr int kBlockPorts = PortRange::kMaxReservedPorts + 1;
constexpr int kBlocks = 180;

bool allBindable(int first, int count) {
    for (int port = first; port < first + count; ++port) {
        if (!platform::probeBindAllInterfaces(port).bindable) {
            return false;
        }
    }
    return true;
}

}  // namespace

PortRange::PortRange(int count) {
    if (count < 1 || count > kMaxReservedPorts) {
        return;
    }
    for (int block = 0; block < kBlocks; ++block) {
        const int first = kFirstBlockPort + block * kBlockPorts;
        LoopbackSocket claim;
        if (claim.listenOn(first + kBlockPorts - 1, false) && allBindable(first, count)) {
            claim_ = std::move(claim);
            first_ = first;
            return;
        }
    }
}

}  // namespace testing_support
