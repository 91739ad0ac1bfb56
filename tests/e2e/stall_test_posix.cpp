// Concurrent forwarded requests while the extension itself listens inside the
// upstream range: none of them may wait for a probe of the extension itself.
// POSIX only: under Wine 8.0 this many concurrent sockets now and then trip an
// assertion in wineserver's socket polling (complete_async_poll), which
// aborts the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "e2e/extension_fixture.h"
#include "support/loopback.h"
#include "support/raw_upstream.h"
#include "support/rd_answer.h"
#include "support/rd_device.h"

using e2e::ExtensionFixture;

namespace {

TEST(ConcurrentForwarding, ThirtyTwoCapturesAllGetTheDevicesAnswer) {
    ExtensionFixture extension;
    ASSERT_TRUE(extension.start());
    extension.startDevice(extension.upstreamPort(5));
    const std::string options = "<PidOptions><Opts fCount=\"1\" fType=\"0\" /></PidOptions>";
    const std::string expected = testing_support::bodyOf(
        ExtensionFixture::sendTo(extension.upstreamPort(5), "CAPTURE", "/rd/capture", options));
    ASSERT_NE("", expected);

    constexpr int kClients = 32;
    std::vector<std::string> bodies(kClients);
    std::vector<double> seconds(kClients);
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&, i] {
            const auto started = std::chrono::steady_clock::now();
            bodies[i] = testing_support::bodyOf(extension.send("CAPTURE", "/rd/capture", options));
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

// Sixty clients that declare a 1 MiB capture body and trickle it keep no
// forward place from a normal capture; each is answered INVALID_DATA at its
// deadline while it still trickles.
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
    std::atomic<int> rounds{0};
    std::atomic<bool> answered{false};
    std::thread trickle([&] {
        for (; rounds < 400 && !answered; ++rounds) {  // a byte each 50 ms, for 20 s at most
            for (testing_support::LoopbackSocket& client : tricklers) client.sendAll("<");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    testing_support::eventually([&] { return rounds >= 4; }, 10000);
    EXPECT_NE(std::string::npos,
              extension.send("CAPTURE", "/rd/capture", "<PidOptions><Opts/></PidOptions>")
                  .find("errCode=\"0\""));
    const std::string cut = testing_support::pidData(4, "INVALID_DATA");
    for (testing_support::LoopbackSocket& client : tricklers) {
        EXPECT_NE(std::string::npos, client.receiveUntil(cut, 20000).find(cut));
    }
    answered = true;
    trickle.join();
    EXPECT_LT(rounds, 400);
}

}  // namespace
