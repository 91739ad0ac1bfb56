#include "host/run_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/stop_event.h"
#include "support/loopback.h"
#include "support/rd_answer.h"
#include "support/port_range.h"
#include "support/temp_folder.h"

using testing_support::exchange;
using testing_support::ScopedWorkingDirectory;
using testing_support::TempFolder;

namespace {

class RunLoopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        base = ports.first();
        ASSERT_GT(base, 0);
        folder.write("config.ini", "SERVER_PORT_START = " + std::to_string(base) + "\n");
    }
    // Options that keep the engine log in the folder and report readiness.
    RunLoopOptions options() {
        RunLoopOptions options;
        options.engineLogPath = (folder.path() / "engine.log").string();
        options.onReady = [this](const std::vector<int>& ports) { ready.set_value(ports); };
        return options;
    }

    TempFolder folder;
    testing_support::PortRange ports{10};
    std::promise<std::vector<int>> ready;
    int base = 0;
};

TEST_F(RunLoopTest, ServesUntilStopRequestedThenAcknowledges) {
    ScopedWorkingDirectory inFolder(folder.path());
    platform::StopEvent stop;
    int result = -1;
    testing::internal::CaptureStdout();
    std::thread loop([&, options = options()] { result = runLoop(stop, options); });
    std::future<std::vector<int>> ports = ready.get_future();
    const bool serving = ports.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    const std::string answer = serving ? exchange(base, "RDSERVICE / HTTP/1.1\r\n\r\n", 5000) : "";
    stop.request();
    loop.join();
    const std::string printed = testing::internal::GetCapturedStdout();

    ASSERT_TRUE(serving);
    EXPECT_EQ(std::vector<int>{base}, ports.get());
    EXPECT_EQ(testing_support::rdAnswer("http://127.0.0.1:" + std::to_string(base) + "/", "(null)",
                                        testing_support::ownRdServiceDocument()),
              answer);
    EXPECT_EQ(0, result);
    EXPECT_FALSE(stop.requested());
    EXPECT_EQ("Web service hosted at http://127.0.0.1:" + std::to_string(base) +
                  "\nRDSERVICE, reqInfo->request_uri: / \nBye!\n",
              printed);
    EXPECT_EQ("", exchange(base, "RDSERVICE / HTTP/1.1\r\n\r\n", 500));
}

TEST_F(RunLoopTest, AllowedOriginsArePrintedAndReachTheHandler) {
    folder.write("config.ini", "SERVER_PORT_START = " + std::to_string(base) +
                                   "\nALLOWED_ORIGINS = https://a.example\n");
    ScopedWorkingDirectory inFolder(folder.path());
    platform::StopEvent stop;
    testing::internal::CaptureStdout();
    std::thread loop([&, options = options()] { runLoop(stop, options); });
    const bool serving =
        ready.get_future().wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    const std::string refused =
        serving
            ? exchange(base, "DEVICEINFO /rd/info HTTP/1.1\r\nOrigin: https://b.example\r\n\r\n")
            : "";
    stop.request();
    loop.join();
    EXPECT_EQ(0u, testing::internal::GetCapturedStdout().find(
                      "Allowed origins: https://a.example\nWeb service hosted at"));
    EXPECT_NE(std::string::npos, refused.find("errCode=\"3\"")) << refused;
}

TEST_F(RunLoopTest, EveryPortBusyReportsTheRangeAndFails) {
    ScopedWorkingDirectory inFolder(folder.path());
    const auto busy = testing_support::occupyPorts(base, 10);
    ASSERT_FALSE(busy.empty());
    platform::StopEvent stop;
    testing::internal::CaptureStdout();
    EXPECT_EQ(1, runLoop(stop, options()));
    EXPECT_EQ("Server starting failed on ports " + std::to_string(base) + "-" +
                  std::to_string(base + 9) + "\n",
              testing::internal::GetCapturedStdout());
}

}  // namespace
