#include "rd/rd_request_handler.h"

#include <civetweb.h>
#include <gtest/gtest.h>

#include <string>

#include "rd/rd_response.h"
#include "support/loopback.h"
#include "support/rd_answer.h"
#include "support/rd_device.h"

using testing_support::exchange;
using testing_support::ownRdServiceDocument;
using testing_support::pidData;
using testing_support::rdAnswer;

namespace {

class RdHandlerTest : public ::testing::Test {
  protected:
    std::string send(const std::string& method, const std::string& target,
                     const std::string& headers = "") {
        return server.send(method, target, "Host: x\r\n" + headers);
    }
    std::string location(const std::string& path) { return server.location(path); }

    testing_support::HandlerServer server;
};

TEST_F(RdHandlerTest, DiscoveryOnRootAnswersOwnDocument) {
    const std::string expected = rdAnswer(location("/"), "(null)", ownRdServiceDocument());
    EXPECT_EQ(expected, send("RDSERVICE", "/"));
    EXPECT_EQ(expected, send("GET", "/"));
    EXPECT_EQ(expected, send("RDSERVICE", "/*"));
    EXPECT_EQ(expected, send("GET", "/*"));
}

TEST_F(RdHandlerTest, RdServicePrintsLogLineWithBlankBeforeLineFeed) {
    testing::internal::CaptureStdout();
    send("RDSERVICE", "/?a=b");
    send("GET", "/");
    EXPECT_EQ("RDSERVICE, reqInfo->request_uri: / \n", testing::internal::GetCapturedStdout());
}

TEST_F(RdHandlerTest, DiscoveryOnOtherPathsWritesNothing) {
    testing::internal::CaptureStdout();
    EXPECT_EQ("", send("RDSERVICE", "/other"));
    EXPECT_EQ("", send("GET", "/rd/info"));
    EXPECT_EQ("RDSERVICE, reqInfo->request_uri: /other \n", testing::internal::GetCapturedStdout());
}

TEST_F(RdHandlerTest, OptionsAnswersOriginRules) {
    EXPECT_EQ(rdAnswer("(null)", "(null)", ""), send("OPTIONS", "/any/path"));
    EXPECT_EQ(
        rdAnswer("(null)", "http://a.example", ""),
        send("OPTIONS", "/", "Access-Control-Allow-Origin: *\r\nOrigin: http://a.example\r\n"));
    EXPECT_EQ(
        rdAnswer("(null)", "http://b.example", ""),
        send("OPTIONS", "/",
             "Access-Control-Allow-Origin: http://b.example\r\nOrigin: http://a.example\r\n"));
    EXPECT_EQ(rdAnswer("(null)", "(null)", ""),
              send("OPTIONS", "/", "Access-Control-Allow-Origin: \r\n"));
    EXPECT_EQ(rdAnswer("(null)", "http://a.example", ""),
              send("OPTIONS", "/", "Access-Control-Allow-Origin:\r\nOrigin: http://a.example\r\n"));
}

TEST_F(RdHandlerTest, OptionsAllowsTheRequestedHeadersOnly) {
    EXPECT_EQ(rdAnswer("(null)", "http://a.example", "",
                       "Access-Control-Allow-Headers: content-type\r\n"),
              send("OPTIONS", "/rd/capture",
                   "Origin: http://a.example\r\nAccess-Control-Request-Method: CAPTURE\r\n"
                   "Access-Control-Request-Headers: content-type\r\n"));
    EXPECT_EQ(rdAnswer("(null)", "(null)", ""),
              send("OPTIONS", "/", "Access-Control-Request-Headers: \r\n"));
}

TEST_F(RdHandlerTest, OptionsAllowsAPrivateNetworkOnlyWhenAsked) {
    EXPECT_EQ(rdAnswer("(null)", "http://a.example", "",
                       "Access-Control-Allow-Headers: content-type\r\n"
                       "Access-Control-Allow-Private-Network: true\r\n"),
              send("OPTIONS", "/rd/capture",
                   "Origin: http://a.example\r\nAccess-Control-Request-Private-Network: true\r\n"
                   "Access-Control-Request-Headers: content-type\r\n"));
    EXPECT_EQ(rdAnswer("(null)", "(null)", "", "Access-Control-Allow-Private-Network: true\r\n"),
              send("OPTIONS", "/", "Access-Control-Request-Private-Network: true\r\n"));
    for (const char* value : {"false", "", "true1"}) {
        EXPECT_EQ(rdAnswer("(null)", "(null)", ""),
                  send("OPTIONS", "/",
                       std::string("Access-Control-Request-Private-Network: ") + value + "\r\n"))
            << value;
    }
}

TEST_F(RdHandlerTest, OtherVerbsAreClaimedWithZeroBytes) {
    for (const char* method :
         {"POST", "HEAD", "PUT", "DELETE", "PATCH", "TRACE", "CONNECT", "PROPFIND", "MKCOL"}) {
        EXPECT_EQ("", send(method, "/rd/capture", "Content-Length: 0\r\n")) << method;
    }
    for (const char* target : {"/", "/..%2fconfig.ini", "//config.ini", "/\\config.ini"}) {
        for (const char* depth : {"0", "1", "infinity"}) {
            EXPECT_EQ("", send("PROPFIND", target, std::string("Depth: ") + depth + "\r\n"))
                << target << " depth " << depth;
        }
    }
}

// The request URI arrives decoded: no byte of it may end the LOCATION line.
TEST_F(RdHandlerTest, LocationCannotBeBrokenOutOf) {
    EXPECT_EQ(
        rdAnswer(location("/x%0D%0ASet-Cookie:%20pwn=1"), "(null)", pidData(2, "UNSUPPORTED")),
        send("DEVICEINFO", "/x%0d%0aSet-Cookie:%20pwn=1"));
    EXPECT_EQ(rdAnswer(location("/a%0Ab%0Dc%01d%7Fe%C3%A9"), "(null)", pidData(2, "UNSUPPORTED")),
              send("DEVICEINFO", "/a%0ab%0dc%01d%7fe%c3%a9"));
    // Cut at 255 characters, never inside an escape.
    const std::string prefix = location("/");
    const std::string target = "/" + std::string(254 - prefix.size(), 'q') + "%0a";
    EXPECT_EQ(rdAnswer(prefix + std::string(254 - prefix.size(), 'q'), "(null)",
                       pidData(2, "UNSUPPORTED")),
              send("DEVICEINFO", target));
}

TEST_F(RdHandlerTest, LogLineEscapesControlBytesOfTheUri) {
    testing::internal::CaptureStdout();
    send("RDSERVICE", "/%1b[31mRED%0aCaught");
    EXPECT_EQ("RDSERVICE, reqInfo->request_uri: /\\x1b[31mRED\\x0aCaught \n",
              testing::internal::GetCapturedStdout());
}

TEST_F(RdHandlerTest, CaptureOrDeviceInfoOnAnotherPathIsUnsupported) {
    EXPECT_EQ(rdAnswer(location("/rd/info/"), "(null)", pidData(2, "UNSUPPORTED")),
              send("DEVICEINFO", "/rd/info/"));
    EXPECT_EQ(rdAnswer(location("/capture"), "(null)", pidData(2, "UNSUPPORTED")),
              send("CAPTURE", "/capture?x=1", "Content-Length: 0\r\n"));
}

TEST_F(RdHandlerTest, LongRequestUriGivesLocationCutAt255) {
    const std::string target = "/rd/x" + std::string(2000, 'q');
    const std::string cut = location(target).substr(0, 255);
    EXPECT_EQ(rdAnswer(cut, "(null)", pidData(2, "UNSUPPORTED")), send("DEVICEINFO", target));
}

TEST_F(RdHandlerTest, OversizedCaptureBodyIsRefusedUnread) {
    for (const char* length : {"17825792", "4294967296"}) {
        EXPECT_EQ(rdAnswer(location("/rd/capture"), "(null)", pidData(4, "INVALID_DATA")),
                  send("CAPTURE", "/rd/capture", std::string("Content-Length: ") + length + "\r\n"))
            << length;
    }
}

// Writes a fixed body with an explicit length through the RD writer.
class RawBodyHandler : public CivetHandler {
  public:
    bool handleGet(CivetServer*, mg_connection* conn) override {
        static const char kBody[] = "<a>\0<b/>";
        return writeRdResponse(conn, "loc", kBody, sizeof kBody - 1, echoedGrant(conn));
    }
};

TEST(RdResponse, BodyWithNulByteGoesOutWhole) {
    RawBodyHandler handler;
    testing_support::TestServer server;
    server.server().addHandler("/", &handler);
    EXPECT_EQ(rdAnswer("loc", "(null)", std::string("<a>\0<b/>", 8)),
              exchange(server.port(), "GET / HTTP/1.1\r\n\r\n"));
}

}  // namespace
