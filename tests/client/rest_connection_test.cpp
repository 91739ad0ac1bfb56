#include "client/rest_connection.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "client/http_client_init.h"
#include "client/rd_requests.h"
#include "support/scripted_upstream.h"

using testing_support::RawUpstream;
using testing_support::ScriptedUpstream;

namespace {

const char* const kOk = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

TEST(RestConnectionTest, JoinsBaseUrlAndUriAndSendsHeadersInNameOrder) {
    ScriptedUpstream upstream(kOk);
    RestConnection connection(upstream.url(""));
    connection.setTimeout(10);
    connection.appendHeader("X-B", "first");
    connection.appendHeader("X-A", "a");
    connection.appendHeader("X-B", "replaced");
    const RestResponse response = connection.sendRdService("/rd/x");
    EXPECT_EQ("RDSERVICE /rd/x HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(upstream.port()) +
                  "\r\nUser-Agent: rdext-http-client/v1.0\r\nAccept: */*\r\n"
                  "X-A: a\r\nX-B: replaced\r\n\r\n",
              upstream.firstRequest());
    EXPECT_EQ(200, response.code);
}

TEST(ConcurrentRequestsTest, ParallelRequestsEachGetTheirOwnAnswer) {
    constexpr int kThreads = 8;
    std::vector<std::unique_ptr<ScriptedUpstream>> upstreams;
    for (int i = 0; i < kThreads; ++i) {
        upstreams.push_back(std::make_unique<ScriptedUpstream>(
            "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n" + std::to_string(i)));
    }
    std::vector<RestResponse> responses(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            initHttpClient();
            responses[i] = rdServiceRequest(upstreams[i]->url("/"), 10);
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(200, responses[i].code);
        EXPECT_EQ(std::to_string(i), responses[i].body);
    }
}

}  // namespace
