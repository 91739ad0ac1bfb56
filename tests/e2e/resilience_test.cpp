// A misbehaving neighbourhood: hung and trickling ports, a device that holds
// requests, an endless answer, idle clients, cut bodies and a stop while a
// forward waits. None may stall the extension or take its memory.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/extension_fixture.h"
#include "support/rd_device.h"
#include "support/raw_upstream.h"
#include "support/rd_answer.h"
#include "support/scripted_upstream.h"

using testing_support::ExtensionFixture;
using testing_support::LoopbackSocket;
using testing_support::pidData;
using testing_support::RawUpstream;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A short grace: the tests of it need not wait the real second.
class ResilienceTest : public testing_support::ExtensionTest {
  protected:
    ResilienceTest() : ExtensionTest(250) {}
};

TEST_F(ResilienceTest, HungAndTricklingPortsBelowTheDeviceCostOnlyTheGrace) {
    RawUpstream hung(extension.upstreamPort(1), testing_support::hangScript);
    RawUpstream trickling(extension.upstreamPort(2), testing_support::trickleScript(300));
    ASSERT_TRUE(hung.listening() && trickling.listening());
    extension.startDevice(extension.upstreamPort(4));
    const std::string direct =
        ExtensionFixture::sendTo(extension.upstreamPort(4), "DEVICEINFO", "/rd/info");

    const Clock::time_point start = Clock::now();
    EXPECT_EQ(extension.answerWith("/rd/info", testing_support::bodyOf(direct)),
              extension.send("DEVICEINFO", "/rd/info"));
    EXPECT_LT(secondsSince(start), 10.0);  // was 90 s per hung port
}

TEST_F(ResilienceTest, LoneDeviceSlowToAnswerDiscoveryIsStillReached) {
    extension.startDevice(extension.upstreamPort(4),
                          {"--delay-ms", "400"});  // longer than the grace
    const std::string answer = extension.send("DEVICEINFO", "/rd/info");
    EXPECT_NE(std::string::npos, answer.find("<DeviceInfo dpId=\"LUMETRA.SIM\"")) << answer;
}

TEST_F(ResilienceTest, HeldCapturesLeaveDiscoveryAndPreflightsAnswered) {
    testing_support::ChildProcess& device =
        extension.startDevice(extension.upstreamPort(4), {"--hang"});
    constexpr int kHeld = 16;
    std::vector<std::string> answers(kHeld);
    std::vector<std::thread> clients;
    for (int i = 0; i < kHeld; ++i) {
        clients.emplace_back(
            [&, i] { answers[i] = extension.send("CAPTURE", "/rd/capture", "", "<PidOptions/>"); });
    }
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(extension.answerWith("/", testing_support::ownRdServiceDocument()),
              extension.send("RDSERVICE", "/"));
    EXPECT_NE(std::string::npos, extension.send("OPTIONS", "/rd/capture").find("200 OK"));
    EXPECT_LT(secondsSince(start), 5.0);

    device.signal(15);  // the device drops every held request
    for (std::thread& client : clients) {
        client.join();
    }
    for (const std::string& answer : answers) {
        EXPECT_EQ(extension.notAvailable("/rd/capture"), answer);
    }
}

// Forwards are refused only when the workers run out, not at a fixed count
// below them (32 of a burst of 50 were once served).
TEST_F(ResilienceTest, BurstOfQuickForwardsIsServedWhole) {
    extension.startDevice(extension.upstreamPort(4));
    const std::string expected =
        extension.answerWith("/rd/info", testing_support::bodyOf(ExtensionFixture::sendTo(
                                             extension.upstreamPort(4), "DEVICEINFO", "/rd/info")));
    constexpr int kBurst = 50;
    std::vector<std::string> answers(kBurst);
    std::vector<std::thread> clients;
    for (int i = 0; i < kBurst; ++i) {
        clients.emplace_back([&, i] { answers[i] = extension.send("DEVICEINFO", "/rd/info"); });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    for (const std::string& answer : answers) {
        EXPECT_EQ(expected, answer);
    }
}

TEST_F(ResilienceTest, EndlessUpstreamAnswerIsCutAndNotAvailable) {
    RawUpstream device(extension.upstreamPort(4),
                       testing_support::deviceScript(testing_support::endlessBodyScript));
    ASSERT_TRUE(device.listening());
    EXPECT_EQ(extension.notAvailable("/rd/info"), extension.send("DEVICEINFO", "/rd/info"));
}

TEST_F(ResilienceTest, IdleClientsNeitherStarveDiscoveryNorStayForever) {
    std::vector<std::unique_ptr<LoopbackSocket>> idle;
    for (int i = 0; i < 50; ++i) {
        idle.push_back(std::make_unique<LoopbackSocket>());
        ASSERT_TRUE(idle.back()->connectTo(extension.port()));
        if (i % 10 == 0) {
            idle.back()->sendAll("RDSER");  // a trickle that never finishes its head
        }
    }
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(extension.answerWith("/", testing_support::ownRdServiceDocument()),
              extension.send("RDSERVICE", "/"));
    EXPECT_LT(secondsSince(start), 3.0);
    // An idle connection is closed after the request time-out (5 s), not 30 s.
    idle.front()->receiveUntilClosed(20000);
    EXPECT_LT(secondsSince(start), 15.0);
}

TEST_F(ResilienceTest, ChunkedBodyGoesUpWholeAndACutBodyNotAtAll) {
    testing_support::ScriptedUpstream device(
        extension.upstreamPort(4), [](const std::string& request) {
            return testing_support::requestMethod(request) == "RDSERVICE"
                       ? testing_support::httpAnswer(testing_support::deviceRdServiceDocument())
                       : testing_support::httpAnswer("<PidData/>");
        });
    ASSERT_TRUE(device.listening());
    EXPECT_EQ(extension.answerWith("/rd/capture", "<PidData/>"),
              extension.send("CAPTURE", "/rd/capture",
                             "Transfer-Encoding: chunked\r\n\r\n5\r\n<Pid/\r\n1\r\n>\r\n0\r\n"));
    ASSERT_EQ(2u, device.requests().size());
    EXPECT_EQ("<Pid/>", testing_support::bodyOf(device.requests().back()));

    LoopbackSocket client;
    ASSERT_TRUE(client.connectTo(extension.port()));
    client.sendAll("CAPTURE /rd/capture HTTP/1.1\r\nContent-Length: 100\r\n\r\n<PidOptions");
    client.shutdownWrite();
    EXPECT_EQ(extension.answerWith("/rd/capture", pidData(4, "INVALID_DATA")),
              client.receiveUntilClosed(10000));
    EXPECT_EQ(2u, device.requests().size());  // nothing forwarded
}

TEST_F(ResilienceTest, StopEndsAForwardHeldByAHungUpstream) {
    RawUpstream device(extension.upstreamPort(4),
                       testing_support::deviceScript(testing_support::hangScript));
    ASSERT_TRUE(device.listening());
    std::string answer;
    std::thread client([&] { answer = extension.send("DEVICEINFO", "/rd/info"); });
    ASSERT_TRUE(device.waitForRequests("DEVICEINFO", 1, 10000));
    const Clock::time_point start = Clock::now();
    extension.stop();
    EXPECT_LT(secondsSince(start), 3.0);  // was 85 s
    client.join();
    EXPECT_EQ(extension.notAvailable("/rd/info"), answer);
}

}  // namespace
