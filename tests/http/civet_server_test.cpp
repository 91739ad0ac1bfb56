#include "http/civet_server.h"

#include <civetweb.h>
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>

#include "support/loopback.h"
#include "support/port_range.h"
#include "support/test_server.h"

using testing_support::exchange;
using testing_support::TestServer;

namespace {

// Records which operation ran; answers with a short marker text.
class RecordingHandler : public CivetHandler {
  public:
    explicit RecordingHandler(std::string marker = "handled") : marker_(std::move(marker)) {}

    bool handleGet(CivetServer*, mg_connection* c) override { return answer("GET", c); }
    bool handleOptions(CivetServer*, mg_connection* c) override { return answer("OPTIONS", c); }
    bool handleTrace(CivetServer*, mg_connection* c) override { return answer("TRACE", c); }
    bool handleConnect(CivetServer*, mg_connection* c) override { return answer("CONNECT", c); }
    bool handleRdService(CivetServer*, mg_connection* c) override { return answer("RDSERVICE", c); }
    bool handleCapture(CivetServer*, mg_connection* c) override {
        char buffer[256];
        const int n = mg_read(c, buffer, sizeof buffer);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            capturedBody_ =
                n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
        }
        return answer("CAPTURE", c);
    }
    bool handleDeviceInfo(CivetServer*, mg_connection*) override {
        record("DEVICEINFO");
        return true;  // answered, nothing written
    }
    bool handlePost(CivetServer*, mg_connection*) override {
        record("POST");
        throw std::runtime_error("handler failed");
    }
    bool handlePut(CivetServer*, mg_connection*) override {
        record("PUT");
        throw 42;  // not a standard exception
    }

    int count(const std::string& method) {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_[method];
    }
    bool noCalls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_.empty();
    }
    std::string capturedBody() {
        std::lock_guard<std::mutex> lock(mutex_);
        return capturedBody_;
    }

  private:
    void record(const char* method) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_[method]++;
    }
    bool answer(const char* method, mg_connection* conn) {
        record(method);
        const std::string body = marker_ + " " + method;
        mg_printf(conn, "HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n%s",
                  static_cast<int>(body.size()), body.c_str());
        return true;
    }

    std::mutex mutex_;
    std::map<std::string, int> calls_;
    std::string capturedBody_;
    std::string marker_;
};

std::string statusLine(const std::string& response) {
    return response.substr(0, response.find("\r\n"));
}

class CivetServerTest : public ::testing::Test {
  protected:
    void SetUp() override { server.server().addHandler("/", &handler); }
    std::string send(const std::string& request) { return exchange(server.port(), request); }

    RecordingHandler handler;
    TestServer server;
};

TEST_F(CivetServerTest, RdServiceVerbReachesHandlerForRoot) {
    const std::string response = send("RDSERVICE / HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ("HTTP/1.1 200 OK", statusLine(response));
    EXPECT_NE(std::string::npos, response.find("handled RDSERVICE"));
    EXPECT_EQ(1, handler.count("RDSERVICE"));
}

TEST_F(CivetServerTest, UnknownOrLowerCaseMethodsGet400WithoutHandlerCall) {
    for (const char* line : {"rdservice / HTTP/1.1", "Capture / HTTP/1.1", "FOO / HTTP/1.1"}) {
        const std::string response = send(std::string(line) + "\r\nHost: x\r\n\r\n");
        EXPECT_EQ("HTTP/1.1 400 Bad Request", statusLine(response)) << line;
        EXPECT_NE(std::string::npos, response.find("Connection: close")) << line;
    }
    EXPECT_TRUE(handler.noCalls());
}

// The engine's own error page with its date line taken out.
std::string withoutDate(const std::string& response) {
    const std::size_t date = response.find("\r\nDate: ");
    if (date == std::string::npos) {
        return response;
    }
    return response.substr(0, date) + response.substr(response.find("\r\n", date + 2));
}

TEST_F(CivetServerTest, EngineErrorPageHasTheEstablishedLayout) {
    const std::string head =
        "Cache-Control: no-cache, no-store, must-revalidate, private, max-age=0\r\n"
        "Pragma: no-cache\r\nExpires: 0\r\nConnection: close\r\n\r\n";
    EXPECT_EQ("HTTP/1.1 400 Bad Request\r\n" + head + "Error 400: Bad Request\nBad Request",
              withoutDate(send("FOO / HTTP/1.1\r\n\r\n")));
    EXPECT_EQ("HTTP/1.1 411 Length Required\r\n" + head + "Error 411: Length Required\nBad Request",
              withoutDate(send("CAPTURE / HTTP/1.1\r\nContent-Length: none\r\n\r\n")));
    EXPECT_EQ("HTTP/1.1 400 Bad Request\r\n" + head + "Error 400: Bad Request\nBad Request",
              withoutDate(send("CAPTURE / HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n")));
    EXPECT_EQ("HTTP/1.1 505 HTTP Version not supported\r\n" + head +
                  "Error 505: HTTP Version not supported\nBad HTTP version: [1.7]",
              withoutDate(send("GET / HTTP/1.7\r\n\r\n")));
}

// The engine serves no files: a method no operation takes is refused by the
// engine, whatever the folder holds.
TEST_F(CivetServerTest, WebDavMethodsWithoutOperationAreRefused) {
    EXPECT_EQ("HTTP/1.1 404 Not Found",
              statusLine(send("PROPFIND / HTTP/1.1\r\nHost: x\r\nDepth: 1\r\n\r\n")));
    EXPECT_EQ("HTTP/1.1 405 Method Not Allowed",
              statusLine(send("MKCOL /newdir HTTP/1.1\r\nHost: x\r\n\r\n")));
    EXPECT_TRUE(handler.noCalls());
}

TEST_F(CivetServerTest, TraceAndConnectReachTheirOperations) {
    EXPECT_NE(std::string::npos, send("TRACE / HTTP/1.1\r\nHost: x\r\n\r\n").find("handled TRACE"));
    EXPECT_NE(std::string::npos,
              send("CONNECT /x HTTP/1.1\r\nHost: x\r\n\r\n").find("handled CONNECT"));
}

TEST_F(CivetServerTest, CaptureBodyNeedsContentLength) {
    send("CAPTURE /rd/capture HTTP/1.1\r\nHost: x\r\n\r\n<PidOptions/>");
    EXPECT_EQ(1, handler.count("CAPTURE"));
    EXPECT_EQ("", handler.capturedBody());

    send("CAPTURE /rd/capture HTTP/1.1\r\nHost: x\r\nContent-Length: 13\r\n\r\n<PidOptions/>");
    EXPECT_EQ("<PidOptions/>", handler.capturedBody());

    send(
        "CAPTURE /rd/capture HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
        "5\r\n<Pid/\r\n1\r\n>\r\n0\r\n\r\n");
    EXPECT_EQ("<Pid/>", handler.capturedBody());
}

TEST_F(CivetServerTest, ThrowingHandlerPrintsMessageAndCountsAsAnswered) {
    testing::internal::CaptureStdout();
    const std::string response = send("POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n");
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ("handler failed", printed);
    EXPECT_EQ("", response);

    testing::internal::CaptureStdout();
    EXPECT_EQ("", send("PUT /x HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n"));
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

TEST_F(CivetServerTest, AnsweredWithoutWritingGivesZeroBytes) {
    EXPECT_EQ("", send("DEVICEINFO /rd/info HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_EQ(1, handler.count("DEVICEINFO"));
}

TEST_F(CivetServerTest, SecondRegistrationOfSameUriReplacesHandler) {
    RecordingHandler replacement("replacement");
    server.server().addHandler("/", &replacement);
    EXPECT_NE(std::string::npos, send("GET / HTTP/1.1\r\nHost: x\r\n\r\n").find("replacement GET"));
    EXPECT_EQ(0, handler.count("GET"));
}

TEST_F(CivetServerTest, RootRegistrationReceivesEveryPath) {
    EXPECT_NE(std::string::npos,
              send("GET /rd/info?x=1 HTTP/1.1\r\nHost: x\r\n\r\n").find("handled GET"));
}

TEST_F(CivetServerTest, ConnectionTableIsEmptiedWhenConnectionsClose) {
    for (int i = 0; i < 5; ++i) {
        send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    }
    EXPECT_TRUE(server.server().waitUntilNoConnections(5000));
}

// A request that arrives while the server starts waits for its handler: it
// is never answered by the engine alone.
TEST(CivetServerLifecycle, RequestBeforeTheFirstHandlerWaitsForIt) {
    RecordingHandler handler;
    testing_support::TestServer server;
    testing_support::LoopbackSocket client;
    ASSERT_TRUE(client.connectTo(server.port()));
    ASSERT_TRUE(client.sendAll("RDSERVICE / HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_EQ("", client.receiveUntil("\r\n", 300));
    server.server().addHandler("/", &handler);
    EXPECT_NE(std::string::npos, client.receiveUntilClosed(5000).find("handled RDSERVICE"));
}

TEST(CivetServerLifecycle, CloseTwiceStopsOnce) {
    RecordingHandler handler;
    TestServer server;
    server.server().addHandler("/", &handler);
    server.server().close();
    server.server().close();
    EXPECT_TRUE(server.server().getListeningPorts().empty());
    EXPECT_EQ("", exchange(server.port(), "GET / HTTP/1.1\r\n\r\n", 1000));
}

TEST(CivetServerLifecycle, ListeningPortsAreTheFirstTenOfTwelve) {
    const testing_support::PortRange range(12);
    ASSERT_GT(range.first(), 0);
    std::vector<int> ports;
    for (int i = 0; i < 12; ++i) {
        ports.push_back(range.at(i));
    }
    TestServer server(ports);
    const std::vector<int> expected(ports.begin(), ports.begin() + 10);
    EXPECT_EQ(expected, server.server().getListeningPorts());
}

TEST(CivetServerLifecycle, BusyPortThrowsCivetException) {
    testing_support::LoopbackSocket holder;
    ASSERT_TRUE(holder.listenOn(0, false));
    try {
        TestServer server({holder.localPort()});
        FAIL() << "server started on a busy port";
    } catch (const CivetException& e) {
        EXPECT_STREQ(
            "null context when constructing CivetServer. Possible problem binding to port.",
            e.what());
    }
}

TEST(ConnectionEntryTest, CopyDuplicatesOnlyNonEmptyBuffers) {
    ConnectionEntry entry;
    entry.assign("abc", 3);
    ConnectionEntry copy(entry);
    ASSERT_NE(nullptr, copy.body());
    EXPECT_NE(entry.body(), copy.body());
    EXPECT_STREQ("abc", copy.body());
    EXPECT_EQ(3u, copy.bodyLength());

    ConnectionEntry empty;
    empty.assign("abc", 0);
    copy = empty;
    EXPECT_EQ(nullptr, copy.body());
    EXPECT_EQ(0u, copy.bodyLength());
}

}  // namespace
