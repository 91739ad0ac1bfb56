// Requests that lease from one pool share its kept transfer handles: nothing
// of one request may reach the next, and requests that overlap must not
// share them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "client/kept_handles.h"
#include "client/probe_set.h"
#include "client/rd_requests.h"
#include "support/loopback.h"
#include "support/scripted_upstream.h"

using testing_support::LoopbackSocket;
using testing_support::ScriptedUpstream;

namespace {

constexpr int kTimeoutSeconds = 5;

TransferLimits leasingFrom(HandlePool& pool) {
    TransferLimits limits;
    limits.handles = &pool;
    limits.timeoutSeconds = kTimeoutSeconds;
    return limits;
}

std::string okWith(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST(KeptHandlesTest, ARequestCarriesNothingOfThePreviousOne) {
    ScriptedUpstream capture(okWith("c"));
    ScriptedUpstream probe(okWith("p"));
    HandlePool pool;
    captureRequest(capture.url("/rd/capture"), "text/xml", "<PidOptions/>", kTimeoutSeconds,
                   leasingFrom(pool));
    rdServiceRequest(probe.url("/"), kTimeoutSeconds, leasingFrom(pool));
    EXPECT_EQ("RDSERVICE / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(probe.port()) +
                  "\r\nUser-Agent: rdext-http-client/v1.0\r\nAccept: */*\r\n\r\n",
              probe.requests().back());
}

TEST(KeptHandlesTest, EveryRequestOpensItsOwnConnectionEvenWhenTheUpstreamKeepsItOpen) {
    LoopbackSocket listener;
    ASSERT_TRUE(listener.listenOn(0, false));
    std::vector<LoopbackSocket> accepted;
    std::thread upstream([&] {
        for (int i = 0; i < 2; ++i) {
            LoopbackSocket connection = listener.acceptOne(kTimeoutSeconds * 1000);
            connection.receiveUntil("\r\n\r\n", kTimeoutSeconds * 1000);
            connection.sendAll(okWith("ok"));  // and keeps the connection open
            accepted.push_back(std::move(connection));
        }
    });
    const std::string url = "http://127.0.0.1:" + std::to_string(listener.localPort()) + "/";
    HandlePool pool;
    const RestResponse first = rdServiceRequest(url, kTimeoutSeconds, leasingFrom(pool));
    const RestResponse second = rdServiceRequest(url, kTimeoutSeconds, leasingFrom(pool));
    upstream.join();
    EXPECT_EQ(200, first.code);
    EXPECT_EQ(200, second.code);
    ASSERT_EQ(2u, accepted.size());
    EXPECT_TRUE(accepted[1].valid());
}

TEST(KeptHandlesTest, ARequestWhileProbesRunLeavesTheirAnswersToThem) {
    ScriptedUpstream probed(okWith("probe"));
    ScriptedUpstream asked(okWith("asked"));
    HandlePool pool;
    ProbeSet probes(leasingFrom(pool));
    probes.add(probed.url("/"), "");
    EXPECT_EQ("asked", rdServiceRequest(asked.url("/"), kTimeoutSeconds, leasingFrom(pool)).body);
    const auto answers = probes.wait(kTimeoutSeconds * 1000);
    ASSERT_EQ(1u, answers.size());
    EXPECT_EQ("probe", answers.front().second.body);
}

}  // namespace
