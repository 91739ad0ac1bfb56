// The simulated device as a web page sees it: cross-origin headers on every
// answer, and preflight answers of its own.
#include <gtest/gtest.h>

#include <string>

#include "support/extension_fixture.h"
#include "support/rd_device.h"

using testing_support::ExtensionFixture;

namespace {

std::string deviceHead(std::size_t length, const std::string& origin,
                       const std::string& preflightLines = "") {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
           std::to_string(length) +
           "\r\nConnection: close\r\nAccess-Control-Allow-Origin: " + origin +
           "\r\nAccess-Control-Allow-Methods: RDSERVICE, CAPTURE, DEVICEINFO\r\n" + preflightLines +
           "\r\n";
}

std::string headOf(const std::string& answer) {
    return answer.substr(0, answer.size() - testing_support::bodyOf(answer).size());
}

TEST(SimulatedDevice, AnswersEchoTheOriginOrAllowAny) {
    ExtensionFixture fixture;
    fixture.startDevice(fixture.upstreamPort(7));
    const std::string discovery = ExtensionFixture::sendTo(fixture.upstreamPort(7), "RDSERVICE",
                                                           "/", "Origin: http://page.example\r\n");
    EXPECT_EQ(deviceHead(testing_support::bodyOf(discovery).size(), "http://page.example"),
              headOf(discovery));
    const std::string info =
        ExtensionFixture::sendTo(fixture.upstreamPort(7), "DEVICEINFO", "/rd/info");
    EXPECT_EQ(deviceHead(testing_support::bodyOf(info).size(), "*"), headOf(info));
}

TEST(SimulatedDevice, PreflightIsAnsweredAtOnceEvenByAHangingDevice) {
    ExtensionFixture fixture;
    fixture.startDevice(fixture.upstreamPort(7), {"--hang"});
    EXPECT_EQ(deviceHead(0, "http://page.example",
                         "Access-Control-Allow-Headers: content-type\r\n"
                         "Access-Control-Allow-Private-Network: true\r\n"),
              ExtensionFixture::sendTo(fixture.upstreamPort(7), "OPTIONS", "/rd/capture",
                                       "Origin: http://page.example\r\n"
                                       "Access-Control-Request-Method: CAPTURE\r\n"
                                       "Access-Control-Request-Headers: content-type\r\n"
                                       "Access-Control-Request-Private-Network: true\r\n"));
    EXPECT_EQ(deviceHead(0, "*"),
              ExtensionFixture::sendTo(fixture.upstreamPort(7), "OPTIONS", "/",
                                       "Access-Control-Request-Private-Network: false\r\n"));
}

}  // namespace
