#include "client/rd_requests.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>

#include "support/loopback.h"
#include "support/port_range.h"
#include "support/scripted_upstream.h"

using testing_support::RawUpstream;
using testing_support::ScriptedUpstream;

namespace {

const char* const kOk = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
constexpr int kTimeoutSeconds = 10;

// The request head that the client sends to `upstream`, up to its blank line.
std::string head(const std::string& method, const std::string& path, const RawUpstream& upstream,
                 const std::string& extraLines = "") {
    return method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(upstream.port()) +
           "\r\nUser-Agent: rdext-http-client/v1.0\r\nAccept: */*\r\n" + extraLines + "\r\n";
}

// Bytes 0..255 repeated, NUL included.
std::string binaryBody(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        body[i] = static_cast<char>(i % 251);
    }
    return body;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Names a proxy in the environment; an empty text removes it again.
void setProxyInEnvironment(const std::string& url) {
    for (const std::string name : {"http_proxy", "all_proxy", "ALL_PROXY"}) {
#if defined(_WIN32)
        ::_putenv((name + "=" + url).c_str());
#else
        url.empty() ? ::unsetenv(name.c_str()) : ::setenv(name.c_str(), url.c_str(), 1);
#endif
    }
}

// Each verb's request byte for byte, sent to this machine even when the
// environment names a proxy (nothing answers there).
TEST(RdRequestsTest, EachVerbSendsItsRequestAndNeverThroughAProxy) {
    struct Case {
        const char* verb;
        const char* path;
        const char* contentType;  // CAPTURE only
        std::string body;
        std::string extraLines;
    };
    const Case cases[] = {
        {"RDSERVICE", "/", nullptr, "", ""},
        {"DEVICEINFO", "/rd/info", nullptr, "", ""},
        {"CAPTURE", "/rd/capture", "", "<PidOptions/>", "Content-Length: 13\r\n"},
        {"CAPTURE", "/rd/capture", "", "", "Content-Length: 0\r\n"},
        {"CAPTURE", "/rd/capture", "text/xml", "<a/>",
         "Content-Type: text/xml\r\nContent-Length: 4\r\n"},
    };
    setProxyInEnvironment("http://127.0.0.1:9");
    for (const Case& c : cases) {
        ScriptedUpstream upstream(kOk);
        const std::string url = upstream.url(c.path);
        const std::string verb = c.verb;
        const RestResponse response =
            verb == "CAPTURE"     ? captureRequest(url, c.contentType, c.body, kTimeoutSeconds)
            : verb == "RDSERVICE" ? rdServiceRequest(url, kTimeoutSeconds)
                                  : deviceInfoRequest(url, kTimeoutSeconds);
        EXPECT_EQ(head(verb, c.path, upstream, c.extraLines) + c.body, upstream.firstRequest());
        EXPECT_EQ(200, response.code) << verb;
        EXPECT_EQ("ok", response.body) << verb;
    }
    setProxyInEnvironment("");
}

TEST(RdRequestsTest, LargeBinaryBodiesArriveWhole) {
    for (const std::size_t size : {std::size_t{1025}, std::size_t{(1u << 20) + 17}}) {
        SCOPED_TRACE(size);
        ScriptedUpstream upstream(kOk);
        const std::string body = binaryBody(size);
        const RestResponse response =
            captureRequest(upstream.url("/rd/capture"), "", body, kTimeoutSeconds);
        const std::string request = upstream.firstRequest();
        const std::size_t headSize = request.find("\r\n\r\n") + 4;
        EXPECT_NE(std::string::npos,
                  request.find("\r\nContent-Length: " + std::to_string(size) + "\r\n"));
        EXPECT_EQ(headSize + size, request.size());
        EXPECT_TRUE(request.compare(headSize, std::string::npos, body) == 0);
        EXPECT_EQ(200, response.code);
    }
}

TEST(RdRequestsTest, RefusedPortFailsWithoutWaitingForTheTimeout) {
    const testing_support::PortRange closed(1);  // reserved, and nothing listens there
    const int closedPort = closed.first();
    const auto start = std::chrono::steady_clock::now();
    const RestResponse response =
        rdServiceRequest("http://127.0.0.1:" + std::to_string(closedPort) + "/", 30);
    EXPECT_LT(secondsSince(start), 15.0);
    EXPECT_EQ(-1, response.code);
    EXPECT_EQ("Failed to query.", response.body);
}

TEST(RdRequestsTest, SilentServerTimesOut) {
    RawUpstream upstream(0, testing_support::hangScript);
    const auto start = std::chrono::steady_clock::now();
    const RestResponse response = deviceInfoRequest(upstream.url("/rd/info"), 1);
    EXPECT_GE(secondsSince(start), 0.9);
    EXPECT_EQ(28, response.code);
    EXPECT_EQ("Operation Timeout.", response.body);
}

TEST(RdRequestsTest, RedirectIsReturnedNotFollowed) {
    ScriptedUpstream upstream("");
    ScriptedUpstream redirecting("HTTP/1.1 302 Found\r\nLocation: " + upstream.url("/other") +
                                 "\r\nContent-Length: 5\r\n\r\nmoved");
    const RestResponse response = rdServiceRequest(redirecting.url("/"), kTimeoutSeconds);
    EXPECT_EQ(302, response.code);
    EXPECT_EQ("moved", response.body);
    EXPECT_EQ(upstream.url("/other"), response.headers.at("Location"));
}

TEST(RdRequestsTest, HeadersSplitAtTheirFirstColon) {
    ScriptedUpstream upstream(
        "HTTP/1.1 200 OK\r\nDate: Mon, 01 Jan 2024 10:20:30 GMT\r\nX-Empty:\r\n"
        "X-Padded: \t padded value \t\r\nContent-Length: 0\r\n\r\n");
    const RestResponse response = rdServiceRequest(upstream.url("/"), kTimeoutSeconds);
    const std::map<std::string, std::string> expected = {{"HTTP/1.1 200 OK", "present"},
                                                         {"Date", "Mon, 01 Jan 2024 10:20:30 GMT"},
                                                         {"X-Empty", ""},
                                                         {"X-Padded", "padded value"},
                                                         {"Content-Length", "0"}};
    EXPECT_EQ(expected, response.headers);
    EXPECT_EQ(200, response.code);
    EXPECT_EQ("", response.body);
}

TEST(RdRequestsTest, CutBodyFailsButKeepsTheHeaders) {
    ScriptedUpstream upstream("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort");
    const RestResponse response = rdServiceRequest(upstream.url("/"), kTimeoutSeconds);
    EXPECT_EQ(-1, response.code);
    EXPECT_EQ("Failed to query.", response.body);
    EXPECT_EQ("present", response.headers.at("HTTP/1.1 200 OK"));
    EXPECT_EQ("100", response.headers.at("Content-Length"));
}

// What the client makes of each answer: whole answers in every framing
// HTTP/1.1 allows are taken; cut, misframed and malformed ones fail.
TEST(RdRequestsTest, EachAnswerGivesItsCodeAndBody) {
    const std::string failed = "Failed to query.";
    const std::string te = "HTTP/1.1 200 OK\r\nTransfer-Encoding: ";
    const struct {
        const char* path;  // "/": an RDSERVICE request, else DEVICEINFO
        std::string answer;
        int code;
        std::string body;  // "-": not checked
    } rows[] = {
        {"/rd/info", "HTTP/1.1 200 OK\r\nContent-Length:  2 \r\n\r\nok", 200, "ok"},
        {"/rd/info", te + "chunked\r\n\r\n1;x=y\r\no\r\n1\r\nk\r\n0\r\n\r\n", 200, "ok"},
        {"/rd/info", te + "Chunked\r\n\r\n2\r\nok\r\n0\r\nX-T: 1\r\n\r\n", 200, "ok"},
        {"/rd/info", "HTTP/1.1 100 Continue\r\n\r\n" + std::string(kOk), 200, "ok"},
        {"/rd/info", "HTTP/1.0 200 OK\r\n\r\nok", 200, "ok"},  // delimited by the close
        {"/rd/info", te + "chunked\r\n\r\n2\r\nok\r\n", -1, "-"},
        {"/rd/info", te + "chunked\r\n\r\n2\r\nok\r\n0\r\n", -1, "-"},
        {"/rd/info", te + "gzip\r\n\r\nok", -1, "-"},
        {"/rd/info", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nok", -1,
         "-"},
        {"/", "HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\n" + std::string("a\0b\0\0c\xff", 7), 200,
         std::string("a\0b\0\0c\xff", 7)},  // NUL bytes come back whole
        // an error status is a successful transfer
        {"/rd/info", "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 4\r\n\r\noops", 500,
         "oops"},
        {"/", "garbage\r\n\r\n", -1, failed},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.answer);
        ScriptedUpstream upstream(row.answer);
        const std::string url = upstream.url(row.path);
        const RestResponse response = std::string(row.path) == "/"
                                          ? rdServiceRequest(url, kTimeoutSeconds)
                                          : deviceInfoRequest(url, kTimeoutSeconds);
        EXPECT_EQ(row.code, response.code);
        if (row.body != "-") {
            EXPECT_EQ(row.body, response.body);
        }
    }
}

// With a connect address the request goes to that address alone, whatever
// else listens on the port, and still names the host it was sent to.
TEST(RdRequestsTest, AConnectAddressDecidesWhereTheRequestGoes) {
    ScriptedUpstream four(0,
                          [](const std::string&) { return testing_support::httpAnswer("four"); });
    ScriptedUpstream six(
        four.port(), [](const std::string&) { return testing_support::httpAnswer("six"); }, true);
    ASSERT_TRUE(four.listening() && six.listening());
    const std::string url = "http://localhost:" + std::to_string(four.port()) + "/";
    for (const auto& [address, expected] :
         std::map<std::string, std::string>{{"127.0.0.1", "four"}, {"::1", "six"}}) {
        TransferLimits limits;
        limits.connectAddress = address;
        EXPECT_EQ(expected, rdServiceRequest(url, kTimeoutSeconds, limits).body) << address;
    }
    EXPECT_NE(std::string::npos, six.firstRequest().find(
                                     "\r\nHost: localhost:" + std::to_string(four.port()) + "\r\n"))
        << six.firstRequest();
}

}  // namespace
