// Which listeners of a fake listener table a forward may probe: owner kinds
// against the caller's account, and owners the system would not tell.
#include "rd/upstream.h"

#include <gtest/gtest.h>

namespace {

using platform::AccountIdentity;
using platform::AccountKind;

const AccountIdentity kUnknown{};
const AccountIdentity kRoot{AccountKind::kSystem, "0"};
const AccountIdentity kExtension{AccountKind::kThisProcess, "990"};
const AccountIdentity kAlice{AccountKind::kOrdinary, "1001"};
const AccountIdentity kBob{AccountKind::kOrdinary, "1002"};

constexpr int kFirst = 11100;
// Ports kFirst.. kFirst+4, one per owner; all unknown when `ownersRead` is false.
bool ownersRead = true;

bool fakeTable(int, int, std::vector<platform::LoopbackListener>& listeners) {
    const AccountIdentity owners[] = {kRoot, kExtension, kAlice, kBob, kUnknown};
    for (int i = 0; i < 5; ++i) {
        listeners.push_back({kFirst + i, true, false, ownersRead ? owners[i] : kUnknown});
    }
    return true;
}

TEST(ListenerTrustTest, ProbesSystemOwnAndCallersListenersAndUnknownOwnersAsBefore) {
    struct Case {
        const char* name;
        AccountIdentity caller;
        bool ownersKnown;
        std::string probed;  // offsets from kFirst
        int refused;         // offset of the lowest refused, -1 for none
    };
    const Case cases[] = {
        {"alice's page", kAlice, true, "0124", 3},
        {"bob's page", kBob, true, "0134", 2},
        {"caller unknown", kUnknown, true, "014", 2},
        {"owners unknown", kAlice, false, "01234", -1},
    };
    DiscoveryOptions options;
    options.listListeners = fakeTable;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ownersRead = c.ownersKnown;
        ListenerTrust trust(kExtension, c.caller);
        RefusedListener refused;
        std::string probed;
        for (const ProbeTarget& target :
             trustedProbeTargets(upstreamProbeTargets(options, {}), trust, refused)) {
            probed += std::to_string(target.port - kFirst);
        }
        EXPECT_EQ(c.probed, probed);
        EXPECT_EQ(c.refused < 0 ? 0 : kFirst + c.refused, refused.port);
    }
}

}  // namespace
