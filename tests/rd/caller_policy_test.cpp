// ALLOWED_ORIGINS and the Host rule at the handler, and the line each
// forwarded request prints. The handler probes only the port of a device
// stand-in that names a model of its own.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <utility>

#include "rd/forward_log.h"
#include "rd/rd_request_handler.h"
#include "support/loopback.h"
#include "support/rd_answer.h"
#include "support/scripted_upstream.h"
#include "support/temp_folder.h"
#include "support/rd_device.h"

using namespace testing_support;

namespace {

const char* const kModel = "Caller Policy Model 17";
const char* const kList =
    "https://*.bank.example, http://portal.example:8080 HTTPS://Kiosk.Example";
const char* const kDeviceInfo = "<DeviceInfo dpId=\"test\" />";

class CallerPolicyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setModel(kModel);
        ASSERT_TRUE(device.listening());
    }
    void setModel(const std::string& model) { writeDeviceModel(data.path().string(), model); }
    std::string send(const std::string& method, const std::string& target,
                     const std::string& headers) {
        return server.send(method, target, headers);
    }
    std::string location(const std::string& path) { return server.location(path); }
    // Forwards the device has received. (Discovery probes are not counted:
    // other test processes probe the range too.)
    int deviceRequests() { return device.count("DEVICEINFO") + device.count("CAPTURE"); }

    // The handler probes only the device's port, with the data folder here.
    ForwardingOptions options() const {
        ForwardingOptions forwarding;
        forwarding.dataBaseFolder = data.path().string();
        forwarding.discovery.firstPort = forwarding.discovery.lastPort = device.port();
        return forwarding;
    }

    TempFolder data;
    ScriptedUpstream device{0, deviceNaming(kModel, kDeviceInfo)};
    HandlerServer server{options(), parseAllowedOrigins(kList)};
};

struct OriginCase {
    const char* origin;  // null: no Origin header
    bool allowed;
};

TEST_F(CallerPolicyTest, OnlyListedOriginsReachTheDeviceOrAreAdmitted) {
    const OriginCase cases[] = {
        {nullptr, true},
        {"https://a.bank.example", true},
        {"https://x.y.bank.example:8443", true},
        {"https://bank.example", false},  // "*." covers subdomains, not the host
        {"https://evilbank.example", false},
        {"http://a.bank.example", false},
        {"https://kiosk.example", true},
        {"HTTPS://KIOSK.example", true},
        {"http://portal.example:8080", true},
        {"http://portal.example:8081", false},
        {"http://portal.example", false},
        {"null", false},
    };
    const std::string ownDocument = ownRdServiceDocument();
    for (const OriginCase& c : cases) {
        const std::string header =
            "Host: localhost\r\n" + (c.origin ? std::string("Origin: ") + c.origin + "\r\n" : "");
        const std::string echoed = c.origin ? c.origin : "(null)";
        const int before = deviceRequests();
        const std::string info = send("DEVICEINFO", "/rd/info", header);
        const std::string preflight = send("OPTIONS", "/rd/info", header);
        const std::string discovery = send("RDSERVICE", "/", header);
        if (c.allowed) {
            EXPECT_EQ(rdAnswer(location("/rd/info"), echoed, kDeviceInfo), info) << echoed;
            EXPECT_EQ(rdAnswer("(null)", echoed, ""), preflight) << echoed;
            EXPECT_EQ(rdAnswer(location("/"), echoed, ownDocument), discovery) << echoed;
            EXPECT_LT(before, deviceRequests()) << echoed;
            continue;
        }
        EXPECT_EQ(rdAnswerAdmittingNoOrigin(location("/rd/info"), pidData(3, "INVALID_PARAMETER")),
                  info)
            << echoed;
        EXPECT_EQ(rdAnswerAdmittingNoOrigin("(null)", ""), preflight) << echoed;
        EXPECT_EQ(rdAnswerAdmittingNoOrigin(location("/"), ownDocument), discovery) << echoed;
        EXPECT_EQ(pidData(3, "INVALID_PARAMETER"),
                  bodyOf(send("CAPTURE", "/rd/capture", header + "Content-Length: 0\r\n")));
        EXPECT_EQ(pidData(3, "INVALID_PARAMETER"), bodyOf(send("GET", "/rdservice", header)));
        EXPECT_EQ(before, deviceRequests()) << echoed;
    }
}

TEST_F(CallerPolicyTest, OnlyLoopbackHostsAreForwarded) {
    const std::pair<const char*, bool> cases[] = {
        {"localhost", true},
        {"LocalHost:11100", true},
        {"127.255.3.4", true},
        {"[::1]", true},
        {"[::1]:11100", true},
        {"evil.example", false},
        {"127.0.0.1.evil.example", false},
        {"128.0.0.1", false},
        {"127.0.0", false},
        {"localhost.evil.example", false},
        {"[::2]:11100", false},
        {"localhost:x", false},
    };
    for (const auto& [host, forwarded] : cases) {
        const int before = deviceRequests();
        const std::string body =
            forwarded ? std::string(kDeviceInfo) : pidData(3, "INVALID_PARAMETER");
        EXPECT_EQ(rdAnswer(location("/rd/info"), "https://a.bank.example", body),
                  send("DEVICEINFO", "/rd/info",
                       std::string("Host: ") + host + "\r\nOrigin: https://a.bank.example\r\n"))
            << host;
        EXPECT_EQ(forwarded, before < deviceRequests()) << host;
    }
}

TEST_F(CallerPolicyTest, WithoutAListEveryOriginAndHostIsServedAsBefore) {
    HandlerServer open(options(), AllowedOrigins());
    const std::string origin = "Origin: https://elsewhere.example\r\n";
    EXPECT_EQ(rdAnswer(open.location("/rd/info"), "https://elsewhere.example", kDeviceInfo),
              open.send("DEVICEINFO", "/rd/info", "Host: elsewhere.example\r\n" + origin));
    EXPECT_EQ(rdAnswer("(null)", "https://elsewhere.example", ""),
              open.send("OPTIONS", "/", "Host: elsewhere.example\r\n" + origin));
}

// The elapsed time is the one part of a forward line that varies.
std::string withoutTime(const std::string& lines) {
    return std::regex_replace(lines, std::regex("[0-9]+ ms\n"), "N ms\n");
}

TEST_F(CallerPolicyTest, EachForwardPrintsOneLine) {
    testing::internal::CaptureStdout();
    send("DEVICEINFO", "/rd/info", "Host: localhost\r\nOrigin: https://a.bank.example\r\n");
    send("DEVICEINFO", "/rd/info", "Host: localhost\r\nOrigin: https://bank.example\r\n");
    setModel("A model no device names");
    send("CAPTURE", "/rd/capture", "Host: localhost\r\nContent-Length: 0\r\n");
    EXPECT_EQ("Forward DEVICEINFO /rd/info, origin https://a.bank.example: upstream port " +
                  std::to_string(device.port()) +
                  ", relayed status 200, N ms\n"
                  "Forward DEVICEINFO /rd/info, origin https://bank.example: refused, origin not "
                  "allowed, "
                  "errCode 3, N ms\n"
                  "Forward CAPTURE /rd/capture, no origin: no upstream found, errCode 5, N ms\n",
              withoutTime(testing::internal::GetCapturedStdout()));
}

TEST(ForwardLine, SaysWhatHappened) {
    const auto line = [](ForwardEnd end, int port, std::optional<int> code) {
        ForwardRecord record;
        record.verb = "CAPTURE";
        record.uri = "/rd/capture\n?\x1b";
        ForwardOutcome outcome;
        outcome.upstreamPort = port;
        outcome.upstreamCode = code;
        outcome.end = end;
        return formatForwardLine(record, outcome, 12);
    };
    const std::string head = "Forward CAPTURE /rd/capture\\x0a?\\x1b, no origin: ";
    EXPECT_EQ(head + "upstream port 11104 answered status 503, errCode 5, 12 ms\n",
              line(ForwardEnd::kUpstreamFailed, 11104, 503));
    EXPECT_EQ(head + "upstream port 11104 failed, errCode 5, 12 ms\n",
              line(ForwardEnd::kUpstreamFailed, 11104, -1));
    EXPECT_EQ(head + "upstream port 11104 timed out, errCode 5, 12 ms\n",
              line(ForwardEnd::kUpstreamFailed, 11104, 28));
    EXPECT_EQ(head + "upstream not asked, errCode 2, 12 ms\n",
              line(ForwardEnd::kUnsupportedPath, 0, std::nullopt));
}

}  // namespace
