// Declared body lengths we refuse must not make the process commit that memory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <chrono>
#include <fstream>
#include <thread>
#include <string>

#include "e2e/extension_fixture.h"
#include "support/raw_upstream.h"
#include "support/rd_answer.h"

using e2e::ExtensionFixture;

namespace {

long residentBytes() {
    long pages = 0;
    long resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

TEST(OversizedBody, DeclaredLengthsAboveTheCapAreRefusedWithoutGrowth) {
    ExtensionFixture extension;
    ASSERT_TRUE(extension.start());
    const long before = residentBytes();
    for (const char* declared : {"4294967296", "1048577"}) {
        EXPECT_EQ(testing_support::rdAnswer(extension.location("/rd/capture"), "(null)",
                                            testing_support::pidData(4, "INVALID_DATA")),
                  extension.send("CAPTURE", "/rd/capture", "",
                                 std::string("Content-Length: ") + declared + "\r\n"))
            << declared;
    }
    EXPECT_LT(residentBytes() - before, 8L * 1024 * 1024);
}

// An upstream answer that never ends is cut at the body cap: memory stays
// bounded while it streams (it once grew by gigabytes).
TEST(OversizedBody, EndlessUpstreamAnswerKeepsMemoryBounded) {
    ExtensionFixture extension;
    ASSERT_TRUE(extension.start());
    testing_support::RawUpstream device(
        11104, testing_support::deviceScript(testing_support::endlessBodyScript));
    ASSERT_TRUE(device.listening());
    const long before = residentBytes();
    std::atomic<bool> done{false};
    long peak = before;
    std::thread sampler([&] {
        for (int i = 0; i < 3000 && !done.load(); ++i) {
            peak = std::max(peak, residentBytes());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const std::string answer = extension.send("DEVICEINFO", "/rd/info");
    done = true;
    sampler.join();
    EXPECT_NE(std::string::npos, answer.find("errCode=\"5\" errInfo=\"RDSERVICE_NOT_AVAILABLE\""));
    std::printf("endless answer: RSS peak %.1f MiB above the start\n",
                static_cast<double>(peak - before) / (1024 * 1024));
    // The cap is 16 MiB; sanitizer builds shadow what is allocated, so the
    // bound is loose: the fault this guards against grew by gigabytes.
    EXPECT_LT(peak - before, 256L * 1024 * 1024);
}

}  // namespace
