// The owner-PID tables and the token read against real sockets. Wine answers
// what it answers: its tables may name no owning process (pid 0), which
// leaves the owner unknown; the token read itself is checked on this process.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "platform/connection_owner.h"
#include "platform/loopback_listeners.h"
#include "support/loopback.h"

namespace {

using platform::AccountIdentity;

// Either no owner at all (printed) or this process's account: never someone else.
void expectUnknownOrSelf(const char* what, const AccountIdentity& owner) {
    std::printf("%s: owner %s\n", what,
                owner.known() ? platform::accountName(owner).c_str() : "unknown");
    EXPECT_EQ(owner.known() ? platform::processAccount().id : "", owner.id) << what;
}

TEST(AccountOwnersTest, TokenOfAProcessNamesItsUser) {
    const AccountIdentity self = platform::processAccount();
    ASSERT_TRUE(self.known());
    std::printf("this process: %s (%s), kind %d\n", platform::accountName(self).c_str(),
                self.id.c_str(), static_cast<int>(self.kind));
    const AccountIdentity opened = platform::accountOfSocketOwner(::GetCurrentProcessId());
    EXPECT_EQ(self.id, opened.id);
    EXPECT_EQ(self.kind, opened.kind);
    const AccountIdentity system = platform::accountOfSocketOwner(4);  // the System process
    EXPECT_EQ("S-1-5-18", system.id);
    EXPECT_EQ(platform::AccountKind::kSystem, system.kind);
    EXPECT_FALSE(platform::accountOfSocketOwner(0).known());  // no process owns it
}

TEST(AccountOwnersTest, OwnerPidTablesOfOwnListenerAndConnection) {
    testing_support::LoopbackSocket listener;
    ASSERT_TRUE(listener.listenOn(0, false));
    const int port = listener.localPort();
    std::vector<platform::LoopbackListener> listeners;
    ASSERT_TRUE(platform::listLoopbackListeners(port, port, listeners));
    expectUnknownOrSelf("listener", listeners.at(0).owner);
    testing_support::LoopbackSocket client;
    ASSERT_TRUE(client.connectTo(port));
    testing_support::LoopbackSocket accepted = listener.acceptOne(5000);
    expectUnknownOrSelf("connection", platform::accountOfLoopbackPeer(
                                          {"127.0.0.1", port}, {"127.0.0.1", client.localPort()}));
}

}  // namespace
