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
#include "support/rd_device.h"

using testing_support::ExtensionFixture;

namespace {

using ConcurrentForwarding = testing_support::ExtensionTest;

TEST_F(ConcurrentForwarding, ThirtyTwoCapturesAllGetTheDevicesAnswer) {
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

}  // namespace
