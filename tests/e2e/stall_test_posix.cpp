// Concurrent forwarded requests while the extension itself listens inside the
// upstream range: none of them may wait for a probe of the extension itself.
// POSIX only: under Wine 8.0 this many concurrent sockets now and then trip an
// assertion in wineserver's socket polling (complete_async_poll), which
// aborts the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/extension_fixture.h"
#include "support/loopback.h"
#include "support/rd_answer.h"
#include "support/rd_device.h"

using testing_support::ExtensionFixture;

namespace {

TEST(ConcurrentForwarding, ThirtyTwoCapturesAllGetTheDevicesAnswer) {
    ExtensionFixture extension;
    ASSERT_TRUE(extension.start());
    extension.startDevice(extension.upstreamPort(5));
    const std::string options = "<PidOptions><Opts fCount=\"1\" fType=\"0\" /></PidOptions>";
    const std::string expected = testing_support::bodyOf(
        ExtensionFixture::sendTo(extension.upstreamPort(5), "CAPTURE", "/rd/capture", "", options));
    ASSERT_NE("", expected);

    constexpr int kClients = 32;
    std::vector<std::string> bodies(kClients);
    std::vector<double> seconds(kClients);
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&, i] {
            const auto started = std::chrono::steady_clock::now();
            bodies[i] =
                testing_support::bodyOf(extension.send("CAPTURE", "/rd/capture", "", options));
            seconds[i] =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    for (int i = 0; i < kClients; ++i) {
        EXPECT_EQ(expected, bodies[i]) << "client " << i;
    }
    std::printf("32 concurrent captures: slowest %.3f s\n",
                *std::max_element(seconds.begin(), seconds.end()));
}

// Sixty clients trickling 1 MiB capture bodies keep no place from a normal
// capture; each is answered INVALID_DATA at its deadline, still trickling.
TEST(TricklingClients, TakeNoPlaceAndEndAtTheirDeadline) {
    ExtensionFixture extension;
    extension.limits.requestBodyDeadlineMs = 1000;
    extension.limits.requestTimeoutMs = 500;
    ASSERT_TRUE(extension.start());
    extension.startDevice(extension.upstreamPort(5));
    std::vector<testing_support::LoopbackSocket> tricklers(60);
    for (testing_support::LoopbackSocket& client : tricklers) {
        ASSERT_TRUE(client.connectTo(extension.port()));
        client.sendAll("CAPTURE /rd/capture HTTP/1.1\r\nContent-Length: 1048576\r\n\r\n");
    }
    const std::string cut = testing_support::pidData(4, "INVALID_DATA");
    std::vector<std::string> answers(tricklers.size());
    int answered = 0;
    for (int round = 0; round < 400 && answered < 60; ++round) {  // 1 ms or more a client
        answered = 0;
        for (std::size_t i = 0; i < tricklers.size(); ++i) {
            tricklers[i].sendAll("<");
            answers[i] += tricklers[i].receiveUntil(cut, 2);
            answered += answers[i].find(cut) != std::string::npos ? 1 : 0;
        }
        if (round != 4) continue;  // then a normal capture beside the tricklers
        EXPECT_NE(std::string::npos,
                  extension.send("CAPTURE", "/rd/capture", "<PidOptions><Opts/></PidOptions>")
                      .find("errCode=\"0\""));
    }
    EXPECT_EQ(60, answered);
}

}  // namespace
