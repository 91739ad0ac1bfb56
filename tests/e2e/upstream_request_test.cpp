// What the upstream receives from the extension, and bodies in both directions.
#include <gtest/gtest.h>

#include <string>

#include "support/extension_fixture.h"
#include "support/rd_device.h"
#include "platform/clock.h"
#include "support/loopback.h"
#include "support/rd_answer.h"
#include "support/scripted_upstream.h"

using testing_support::ExtensionFixture;
using testing_support::httpAnswer;
using testing_support::requestMethod;
using testing_support::ScriptedUpstream;

namespace {

const std::string kDiscoveryDocument =
    testing_support::deviceRdServiceDocument("<Interface id=\"CAPTURE\" path=\"/rd/capture\" />");

// An upstream on the seventh probed port that answers discovery and
// returns `answer` to anything else.
class RecordingUpstreamTest : public testing_support::ExtensionTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ExtensionTest::SetUp());
        ASSERT_TRUE(upstream.listening());
    }
    std::string lastForwarded() {
        const auto requests = upstream.requests();
        for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
            if (requestMethod(*it) != "RDSERVICE") {
                return *it;
            }
        }
        return std::string();
    }

    std::string answer = std::string("<PidData>\0binary\0</PidData>", 27);
    ScriptedUpstream upstream{
        extension.upstreamPort(7), [this](const std::string& request) {
            return httpAnswer(requestMethod(request) == "RDSERVICE" ? kDiscoveryDocument : answer);
        }};
};

TEST_F(RecordingUpstreamTest, CaptureGoesUpstreamWithExactBodyAndNoContentType) {
    const std::string body = "<PidOptions ver=\"1.0\"><Opts fCount=\"1\" /></PidOptions>";
    extension.send("CAPTURE", "/rd/capture", "Content-Type: text/xml\r\n", body);
    const std::string forwarded = lastForwarded();
    EXPECT_EQ(0u, forwarded.find("CAPTURE /rd/capture HTTP/1.1\r\n")) << forwarded;
    EXPECT_NE(std::string::npos,
              forwarded.find("\r\nHost: localhost:" + std::to_string(extension.upstreamPort(7)) +
                             "\r\n"));
    EXPECT_NE(std::string::npos, forwarded.find("\r\nUser-Agent: rdext-http-client/v1.0\r\n"));
    EXPECT_NE(std::string::npos,
              forwarded.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"));
    EXPECT_EQ(std::string::npos, forwarded.find("Content-Type"));
    EXPECT_EQ(body, testing_support::bodyOf(forwarded));
}

TEST_F(RecordingUpstreamTest, DiscoveryProbesAndDeviceInfoUseTheirVerbs) {
    const std::size_t before = upstream.requests().size();  // start-up may probe us too
    extension.send("DEVICEINFO", "/rd/info");
    const auto requests = upstream.requests();
    ASSERT_EQ(before + 2, requests.size());
    EXPECT_EQ(0u, requests[before].find("RDSERVICE / HTTP/1.1\r\n"));
    EXPECT_EQ(0u, requests[before + 1].find("DEVICEINFO /rd/info HTTP/1.1\r\n"));
}

// Bodies with NUL bytes, large bodies, and the upstream's answer: all whole.
TEST_F(RecordingUpstreamTest, BodiesTravelWhole) {
    std::string large;
    for (int i = 0; large.size() < 200000; ++i) {
        large += "<Opt n=\"" + std::to_string(i) + "\"/>";
    }
    for (const std::string& body :
         {std::string("<PidOptions>\0\x01\xff</PidOptions>", 26), large}) {
        const std::string reply = extension.send("CAPTURE", "/rd/capture", "", body);
        EXPECT_EQ(body, testing_support::bodyOf(lastForwarded()));
        EXPECT_EQ(extension.answerWith("/rd/capture", answer), reply);
    }
}

TEST_F(RecordingUpstreamTest, BodySentInPiecesArrivesWhole) {
    const std::string body = "<PidOptions><Opts fCount=\"1\" fType=\"2\" /></PidOptions>";
    testing_support::LoopbackSocket client;
    ASSERT_TRUE(client.connectTo(extension.port()));
    client.sendAll("CAPTURE /rd/capture HTTP/1.1\r\nHost: x\r\nContent-Length: " +
                   std::to_string(body.size()) + "\r\n\r\n");
    for (std::size_t at = 0; at < body.size(); at += 16) {
        platform::sleepMs(100);
        client.sendAll(body.substr(at, 16));
    }
    const std::string reply = client.receiveUntilClosed(30000);
    EXPECT_EQ(body, testing_support::bodyOf(lastForwarded()));
    EXPECT_EQ(extension.answerWith("/rd/capture", answer), reply);
}

TEST_F(RecordingUpstreamTest, QueryStringIsDroppedAndTrailingSlashIsUnsupported) {
    const std::string reply = extension.send("CAPTURE", "/rd/capture?session=7", "", "<x/>");
    EXPECT_EQ(extension.answerWith("/rd/capture", answer), reply);
    const std::size_t before = upstream.requests().size();
    EXPECT_EQ(extension.answerWith("/rd/info/", testing_support::pidData(2, "UNSUPPORTED")),
              extension.send("DEVICEINFO", "/rd/info/"));
    EXPECT_EQ(before, upstream.requests().size());
}

TEST_F(RecordingUpstreamTest, EmptyUpstreamBodyGivesLengthZero) {
    answer.clear();
    EXPECT_EQ(extension.answerWith("/rd/info", ""), extension.send("DEVICEINFO", "/rd/info"));
}

TEST_F(RecordingUpstreamTest, CaptureWithoutContentLengthForwardsAnEmptyBody) {
    extension.send("CAPTURE", "/rd/capture");
    const std::string forwarded = lastForwarded();
    EXPECT_EQ("", testing_support::bodyOf(forwarded));
    EXPECT_NE(std::string::npos, forwarded.find("\r\nContent-Length: 0\r\n"));
}

}  // namespace

namespace {

// The relayed document is the answer with which the upstream identified
// itself: it is asked once, not once more after discovery.
TEST(RelayedDiscovery, TheIdentifyingAnswerIsRelayedWithoutASecondRequest) {
    ExtensionFixture extension;
    ASSERT_TRUE(extension.start());
    ScriptedUpstream upstream(extension.upstreamPort(7), [&](const std::string&) {
        return httpAnswer(upstream.count("RDSERVICE") == 1 ? kDiscoveryDocument : "<Other/>");
    });
    ASSERT_TRUE(upstream.listening());
    EXPECT_EQ(extension.answerWith("/rdservice", kDiscoveryDocument),
              extension.send("GET", "/rdservice"));
    EXPECT_EQ(1, upstream.count("RDSERVICE"));
}

// A device on ::1 alone is probed and forwarded to there straight away, by
// the name its Host line carries.
TEST(Ipv6OnlyDevice, IsFoundAndForwardedTo) {
    ExtensionFixture extension;
    ASSERT_TRUE(extension.start());
    // An offset no other test uses: an IPv6 listener cannot take a port that
    // still holds IPv4 connections in TIME_WAIT.
    const int port = extension.upstreamPort(18);
    ScriptedUpstream upstream(
        port,
        [](const std::string& request) {
            return httpAnswer(requestMethod(request) == "RDSERVICE" ? kDiscoveryDocument
                                                                    : "<DeviceInfo six=\"1\"/>");
        },
        true);
    ASSERT_TRUE(upstream.listening());
    EXPECT_EQ(extension.answerWith("/rd/info", "<DeviceInfo six=\"1\"/>"),
              extension.send("DEVICEINFO", "/rd/info"));
    const std::string host = "\r\nHost: localhost:" + std::to_string(port) + "\r\n";
    for (const std::string& request : upstream.requests()) {
        EXPECT_NE(std::string::npos, request.find(host)) << request;
    }
}

}  // namespace
