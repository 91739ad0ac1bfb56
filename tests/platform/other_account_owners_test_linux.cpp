// A listener and a client of another account (nobody), read back from the
// kernel's socket table with their uid.
#include <sys/socket.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/connection_owner.h"
#include "platform/loopback_listeners.h"
#include "support/child_process.h"
#include "support/loopback.h"
#include "support/other_account.h"
#include "support/port_range.h"

namespace {

using testing_support::ChildProcess;
using testing_support::OtherAccountCommand;

std::unique_ptr<ChildProcess> startAsNobody(const std::string& program,
                                            const std::vector<std::string>& arguments) {
    OtherAccountCommand command;
    std::string whyNot;
    if (!testing_support::asNobody(program, arguments, command, whyNot)) {
        return nullptr;
    }
    return std::make_unique<ChildProcess>(command.executable, command.arguments);
}

int peerPort(const testing_support::LoopbackSocket& accepted) {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    ::getpeername(static_cast<int>(accepted.nativeHandle()), reinterpret_cast<sockaddr*>(&peer),
                  &size);
    return ntohs(peer.sin_port);
}

void expectNobody(const platform::AccountIdentity& account) {
    EXPECT_EQ(testing_support::nobodyUid(), account.id);
    EXPECT_EQ("nobody", account.name);
    EXPECT_EQ(platform::AccountKind::kOrdinary, account.kind);
}

TEST(OtherAccountOwnersTest, ListenerAndClientOfNobodyCarryItsUid) {
    OtherAccountCommand probe;
    std::string whyNot;
    if (!testing_support::asNobody("/bin/bash", {}, probe, whyNot)) {
        GTEST_SKIP() << whyNot;
    }
    testing_support::PortRange port(1);
    ASSERT_GT(port.first(), 0);
    auto device = startAsNobody(testing_support::builtProgram("rdservice_sim"),
                                {"--port", std::to_string(port.first())});
    ASSERT_TRUE(device->waitForOutput("Simulated RD service at", 10000)) << device->output();
    std::vector<platform::LoopbackListener> listeners;
    ASSERT_TRUE(platform::listLoopbackListeners(port.first(), port.first(), listeners));
    ASSERT_EQ(1u, listeners.size());
    expectNobody(listeners[0].owner);

    testing_support::LoopbackSocket listener;
    ASSERT_TRUE(listener.listenOn(0, false));
    const std::string target = "/dev/tcp/127.0.0.1/" + std::to_string(listener.localPort());
    auto client = startAsNobody("/bin/bash", {"-c", "exec 3<>" + target + " && read -t 20 <&3"});
    testing_support::LoopbackSocket accepted = listener.acceptOne(10000);
    ASSERT_TRUE(accepted.valid());
    expectNobody(platform::accountOfLoopbackPeer({"127.0.0.1", listener.localPort()},
                                                 {"127.0.0.1", peerPort(accepted)}));
}

}  // namespace
