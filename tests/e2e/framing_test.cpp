// Bodies travel only whole: a cut or malformed upstream answer is never
// relayed, and a request body is read as HTTP/1.1 chunking and the body cap
// allow, or refused at once with an answer the client gets to read.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "support/extension_fixture.h"
#include "support/rd_device.h"
#include "rd/upstream.h"
#include "support/raw_upstream.h"
#include "support/rd_answer.h"
#include "support/scripted_upstream.h"

using testing_support::ExtensionFixture;
using testing_support::LoopbackSocket;
using testing_support::pidData;
using testing_support::RawUpstream;

namespace {

const std::string kChunkedCaptureHead =
    "CAPTURE /rd/capture HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n";

// A device that answers discovery and then sends `bytes` to every other
// request before it closes the connection.
RawUpstream::Script answering(const std::string& bytes) {
    return testing_support::deviceScript(
        [bytes](LoopbackSocket& connection, const std::string&, const testing_support::Stopping&) {
            connection.sendAll(bytes);
        });
}

using FramingTest = testing_support::ExtensionTest;

TEST_F(FramingTest, CutOrMalformedUpstreamAnswersAreNotAvailable) {
    const std::string body =
        "<DeviceInfo dpId=\"SIM\" rdsId=\"SIM\" rdsVer=\"1\" mi=\"X\" mc=\"Y\"/>";
    const std::vector<std::string> answers = {
        "HTTP/1.1 200 OK\r\n",
        "HTTP/1.1 200 OK\r\nContent-Type: text/xml",
        "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: 1e3\r\n\r\n" + body,
        "HTTP/1.1 200 OK\r\nContent-Length: +5\r\n\r\n" + body,
        "HTTP/1.1 200 OK\r\nContent-Length: 0x10\r\n\r\n" + body,
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n<Devi\r\n",
    };
    for (const std::string& answer : answers) {
        SCOPED_TRACE(answer);
        RawUpstream device(extension.upstreamPort(4), answering(answer));
        ASSERT_TRUE(device.listening());
        EXPECT_EQ(extension.notAvailable("/rd/info"), extension.send("DEVICEINFO", "/rd/info"));
    }
}

TEST_F(FramingTest, UpstreamAnswerOfExactlyTheCapIsRelayedWhole) {
    const std::string body(kServiceLimits.maxUpstreamAnswerBytes, 'x');
    RawUpstream device(extension.upstreamPort(4), answering(testing_support::httpAnswer(body)));
    ASSERT_TRUE(device.listening());
    EXPECT_TRUE(extension.answerWith("/rd/info", body) == extension.send("DEVICEINFO", "/rd/info"));
}

TEST_F(FramingTest, ChunkedRequestBodiesFollowHttp11AndTheCap) {
    RawUpstream device(extension.upstreamPort(4),
                       answering(testing_support::httpAnswer("<PidData/>")));
    ASSERT_TRUE(device.listening());
    struct Case {
        std::string chunks;
        bool halfClose;  // the client sends nothing more, and says so
        bool forwarded;
    };
    const std::string halfMiB = "80000\r\n" + std::string(512 * 1024, 'x') + "\r\n";
    const Case cases[] = {
        // Sizes past the cap are refused at once, before the request time-out.
        {"7fffffffffffffff\r\n", false, false},
        {"7ffffffffffffff0\r\n", false, false},
        {"ffffffffffffffff\r\n", false, false},
        {"100001\r\n", false, false},  // one byte past 1 MiB
        {halfMiB + halfMiB + "1\r\nx\r\n0\r\n\r\n", false, false},
        {"5;name=value\r\n<Pid/\r\n1 ; ext\r\n>\r\n0;last\r\n\r\n", false, true},
        {"6\r\n<Pid/>\r\n0\r\nX-Trailer: ignored\r\n\r\n", false, true},
        {"6\r\n<Pid/>\r\n0\r\n", true, false},  // the last chunk without the final CRLF
    };
    int forwards = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chunks.substr(0, 40));
        LoopbackSocket client;
        ASSERT_TRUE(client.connectTo(extension.port()));
        ASSERT_TRUE(client.sendAll(kChunkedCaptureHead + c.chunks));
        if (c.halfClose) {
            client.shutdownWrite();
        }
        forwards += c.forwarded ? 1 : 0;
        EXPECT_EQ(extension.answerWith("/rd/capture",
                                       c.forwarded ? "<PidData/>" : pidData(4, "INVALID_DATA")),
                  client.receiveUntilClosed(4000));
        ASSERT_EQ(forwards, device.count("CAPTURE"));
        if (c.forwarded) {
            EXPECT_EQ("<Pid/>", testing_support::bodyOf(device.requests().back()));
        }
    }
}

// A client that is still sending when its request is refused (one that
// uploads while it waits) reads the answer, not a reset: the server keeps
// reading after its answer and end of output.
TEST_F(FramingTest, ClientStillSendingARefusedBodyReadsTheAnswer) {
    LoopbackSocket client;
    ASSERT_TRUE(client.connectTo(extension.port()));
    ASSERT_TRUE(client.sendAll(kChunkedCaptureHead + "zz\r\n"));
    EXPECT_EQ(extension.answerWith("/rd/capture", pidData(4, "INVALID_DATA")),
              client.receiveUntilClosed(10000));
    // More than the socket buffers hold: the sends end only once the server
    // has read them, or with the reset of a server that closed instead.
    const std::string piece(16 * 1024, 'x');
    bool sent = true;
    for (int i = 0; i < 512 && sent; ++i) {
        sent = client.sendAll(piece);
    }
    EXPECT_TRUE(sent);
}

}  // namespace
