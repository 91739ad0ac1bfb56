// The extension doing its whole job: discovery of the simulated device and
// the forwarded CAPTURE and DEVICEINFO requests.
#include <gtest/gtest.h>

#include <string>

#include "support/extension_fixture.h"
#include "support/rd_device.h"
#include "support/rd_answer.h"
#include "support/scripted_upstream.h"

using testing_support::ExtensionFixture;

namespace {

const char* const kPidOptions =
    "<PidOptions ver=\"1.0\"><Opts fCount=\"1\" fType=\"2\" format=\"0\" pidVer=\"2.0\" "
    "timeout=\"10000\" env=\"P\" /></PidOptions>";
// A device's info text: the model, then the marker.
const std::string kDeviceInfoText = std::string(kDefaultDeviceModel) + " " + kServiceMarker;

class ForwardingTest : public testing_support::ExtensionTest {
  protected:
    // What the device itself answers, relayed under the RD header block.
    std::string relayed(int devicePort, const std::string& method, const std::string& path,
                        const std::string& body = "") {
        const std::string direct = ExtensionFixture::sendTo(devicePort, method, path, "", body);
        return extension.answerWith(path, testing_support::bodyOf(direct));
    }
};

TEST_F(ForwardingTest, WithoutUpstreamEveryForwardAnswersNotAvailable) {
    EXPECT_EQ(extension.notAvailable("/rd/capture"),
              extension.send("CAPTURE", "/rd/capture", "", kPidOptions));
    EXPECT_EQ(extension.notAvailable("/rd/info"), extension.send("DEVICEINFO", "/rd/info"));
    EXPECT_EQ(extension.notAvailable("/rdservice"), extension.send("GET", "/rdservice"));
    EXPECT_EQ(extension.notAvailable("/rdservice"), extension.send("RDSERVICE", "/rdservice"));
}

TEST_F(ForwardingTest, DeviceFiveAboveTheFirstPortIsFoundAndRelayed) {
    extension.startDevice(extension.upstreamPort(5));
    EXPECT_EQ(relayed(extension.upstreamPort(5), "CAPTURE", "/rd/capture", kPidOptions),
              extension.send("CAPTURE", "/rd/capture", "", kPidOptions));
    EXPECT_EQ(relayed(extension.upstreamPort(5), "DEVICEINFO", "/rd/info"),
              extension.send("DEVICEINFO", "/rd/info"));
    const std::string relayedDiscovery = extension.send("RDSERVICE", "/rdservice");
    EXPECT_EQ(relayed(extension.upstreamPort(5), "RDSERVICE", "/"),
              extension.answerWith("/", testing_support::bodyOf(relayedDiscovery)));
    EXPECT_NE(std::string::npos,
              relayedDiscovery.find("LOCATION:" + extension.location("/rdservice")));
}

TEST_F(ForwardingTest, CaptureAnswerCarriesTheDevicesPidData) {
    extension.startDevice(extension.upstreamPort(5));
    const std::string body =
        testing_support::bodyOf(extension.send("CAPTURE", "/rd/capture", "", kPidOptions));
    EXPECT_NE(std::string::npos, body.find("errCode=\"0\"")) << body;
    EXPECT_NE(std::string::npos, body.find("fType=\"2\"")) << body;
    const std::string refused =
        testing_support::bodyOf(extension.send("CAPTURE", "/rd/capture", "", "<not-options/>"));
    EXPECT_EQ(std::string::npos, refused.find("errCode=\"0\"")) << refused;
}

TEST_F(ForwardingTest, LowerOfTwoDevicesWins) {
    extension.startDevice(extension.upstreamPort(6), {"--info", kDeviceInfoText + " B"});
    extension.startDevice(extension.upstreamPort(4), {"--info", kDeviceInfoText + " A"});
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(std::string::npos, extension.send("GET", "/rdservice").find("Service A\""));
    }
}

TEST_F(ForwardingTest, InfoMustNameModelAndServiceCaseSensitively) {
    extension.startDevice(extension.upstreamPort(3),
                          {"--info", std::string(kDefaultDeviceModel) + " Device"});
    extension.startDevice(extension.upstreamPort(4),
                          {"--info", "Other model Registered Device Service"});
    extension.startDevice(extension.upstreamPort(5),
                          {"--info", "QUILLARIS-USB ZR4410QX Registered Device Service"});
    EXPECT_EQ(extension.notAvailable("/rd/info"), extension.send("DEVICEINFO", "/rd/info"));
    extension.startDevice(extension.upstreamPort(6),
                          {"--info", std::string(kServiceMarker) + " of " + kDefaultDeviceModel});
    EXPECT_EQ(relayed(extension.upstreamPort(6), "DEVICEINFO", "/rd/info"),
              extension.send("DEVICEINFO", "/rd/info"));
}

TEST_F(ForwardingTest, StatusOtherThanReadyIsAccepted) {
    extension.startDevice(extension.upstreamPort(5), {"--service-status", "NOTREADY"});
    EXPECT_EQ(relayed(extension.upstreamPort(5), "DEVICEINFO", "/rd/info"),
              extension.send("DEVICEINFO", "/rd/info"));
}

TEST_F(ForwardingTest, NonXmlAnswerIsSkippedForTheNextPort) {
    extension.startDevice(extension.upstreamPort(3), {"--garbage"});
    extension.startDevice(extension.upstreamPort(7));
    EXPECT_EQ(relayed(extension.upstreamPort(7), "DEVICEINFO", "/rd/info"),
              extension.send("DEVICEINFO", "/rd/info"));
}

TEST_F(ForwardingTest, UpstreamErrorStatusIsNotPassedOn) {
    testing_support::ScriptedUpstream upstream(
        extension.upstreamPort(5), [](const std::string& request) {
            if (testing_support::requestMethod(request) == "RDSERVICE") {
                return testing_support::httpAnswer(testing_support::deviceRdServiceDocument());
            }
            return testing_support::httpAnswer("<Error/>", 503);
        });
    EXPECT_EQ(extension.notAvailable("/rd/capture"),
              extension.send("CAPTURE", "/rd/capture", "", kPidOptions));
    EXPECT_EQ(extension.notAvailable("/rd/info"), extension.send("DEVICEINFO", "/rd/info"));
}

TEST_F(ForwardingTest, CustomModelFromDeviceConfig) {
    extension.setDeviceModel("Custom Model 9");
    extension.startDevice(extension.upstreamPort(3));  // the default model: no longer accepted
    extension.startDevice(extension.upstreamPort(4),
                          {"--info", "Custom Model 9 Registered Device Service"});
    EXPECT_EQ(relayed(extension.upstreamPort(4), "DEVICEINFO", "/rd/info"),
              extension.send("DEVICEINFO", "/rd/info"));
}

// An unreadable config.ini refuses every Origin; native callers reach the device.
TEST(UnreadableConfigTest, RefusesEveryOriginAndServesNativeCallers) {
    ExtensionFixture extension;
    std::filesystem::remove(extension.folder() / "config.ini");
    std::filesystem::create_directory(extension.folder() / "config.ini");
    ASSERT_TRUE(extension.start());
    extension.startDevice(extension.upstreamPort(5));
    EXPECT_EQ(
        testing_support::rdAnswerAdmittingNoOrigin(
            extension.location("/rd/capture"), testing_support::pidData(3, "INVALID_PARAMETER")),
        extension.send("CAPTURE", "/rd/capture", kPidOptions, "Origin: https://a.example\r\n"));
    EXPECT_NE(std::string::npos,
              extension.send("CAPTURE", "/rd/capture", kPidOptions).find("errCode=\"0\""));
}

}  // namespace
