// Whose listener may receive a forward: owner kinds against the caller's account.
#include "rd/listener_trust.h"

#include <gtest/gtest.h>

namespace {

using platform::AccountIdentity;
using platform::AccountKind;

const AccountIdentity kUnknown{};
const AccountIdentity kSystem{AccountKind::kSystem, "0", "root"};
const AccountIdentity kExtension{AccountKind::kThisProcess, "990", "rdext"};
const AccountIdentity kAlice{AccountKind::kOrdinary, "1001", "alice"};
const AccountIdentity kBob{AccountKind::kOrdinary, "1002", "bob"};

TEST(ListenerTrustTest, SystemOwnAndCallersListenersOnlyAndUnknownOwnersAsBefore) {
    struct Case {
        const char* name;
        AccountIdentity owner;
        AccountIdentity caller;
        bool trusted;
    };
    const Case cases[] = {
        {"system listener, any caller", kSystem, kAlice, true},
        {"extension's own listener", kExtension, kAlice, true},
        {"caller's own listener", kAlice, kAlice, true},
        {"another user's listener", kBob, kAlice, false},
        {"a user's listener, caller unknown", kAlice, kUnknown, false},
        {"a user's listener, system caller", kAlice, kSystem, false},
        {"owner unknown", kUnknown, kAlice, true},
        {"owner and caller unknown", kUnknown, kUnknown, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.trusted, mayReceiveForward(c.owner, ForwardAccounts{kExtension, c.caller}));
    }
}

}  // namespace
