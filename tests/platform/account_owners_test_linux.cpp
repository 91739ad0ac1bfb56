// Listeners and clients of this account and of another (nobody), read back
// from the kernel's socket table with their uid.
#include <sys/socket.h>
#include <unistd.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/connection_owner.h"
#include "platform/loopback_listeners.h"
#include "support/loopback.h"
#include "support/other_account.h"
#include "support/port_range.h"

namespace {

void expectNobody(const platform::AccountIdentity& account) {
    EXPECT_EQ(testing_support::nobodyUid() + " nobody",
              account.id + " " + platform::accountName(account));
    EXPECT_EQ(platform::AccountKind::kOrdinary, account.kind);
}

platform::AccountIdentity listedOwner(int port) {
    std::vector<platform::LoopbackListener> listeners;
    EXPECT_TRUE(platform::listLoopbackListeners(port, port, listeners));
    return listeners.size() == 1 ? listeners[0].owner : platform::AccountIdentity{};
}

TEST(AccountOwnersTest, OwnListenerAndOwnConnectionBelongToThisProcessesAccount) {
    const platform::AccountIdentity self = platform::processAccount();
    ASSERT_EQ(std::to_string(::geteuid()), self.id);
    testing_support::LoopbackSocket listener;
    ASSERT_TRUE(listener.listenOn(0, false));
    const int port = listener.localPort();
    const platform::AccountIdentity owner = listedOwner(port);
    EXPECT_EQ(self.id, owner.id);
    EXPECT_EQ(self.kind, owner.kind);

    testing_support::LoopbackSocket client;
    ASSERT_TRUE(client.connectTo(port));
    testing_support::LoopbackSocket accepted = listener.acceptOne(5000);
    const platform::TcpEndpoint local{"127.0.0.1", port};
    const platform::TcpEndpoint caller{"127.0.0.1", client.localPort()};
    EXPECT_EQ(self.id, platform::accountOfLoopbackPeer(local, caller).id);
    // A caller gone (its socket waiting out the close, with uid 0) is unknown, not root.
    client.close();
    accepted.close();
    EXPECT_FALSE(platform::accountOfLoopbackPeer(local, caller).known());
}

TEST(AccountOwnersTest, ListenerAndClientOfNobodyCarryItsUid) {
    const std::string whyNot = testing_support::whyNoChildAsNobody();
    if (!whyNot.empty()) {
        GTEST_SKIP() << whyNot;
    }
    testing_support::PortRange port(1);
    auto device = testing_support::startAsNobody(testing_support::builtProgram("rdservice_sim"),
                                                 {"--port", std::to_string(port.first())});
    ASSERT_TRUE(device->waitForOutput("Simulated RD service at", 10000)) << device->output();
    expectNobody(listedOwner(port.first()));

    testing_support::LoopbackSocket listener;
    ASSERT_TRUE(listener.listenOn(0, false));
    const std::string target = "/dev/tcp/127.0.0.1/" + std::to_string(listener.localPort());
    auto client = testing_support::startAsNobody(
        "/bin/bash", {"-c", "exec 3<>" + target + " && read -t 20 <&3"});
    testing_support::LoopbackSocket accepted = listener.acceptOne(10000);
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    ASSERT_EQ(0, ::getpeername(static_cast<int>(accepted.nativeHandle()),
                               reinterpret_cast<sockaddr*>(&peer), &size));
    expectNobody(platform::accountOfLoopbackPeer({"127.0.0.1", listener.localPort()},
                                                 {"127.0.0.1", ntohs(peer.sin_port)}));
}

}  // namespace
