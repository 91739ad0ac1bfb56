#include "host/service_control.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <utility>

#include "support/fake_service_manager.h"

using platform::ServiceStatus;
using testing_support::FakeServiceManager;

namespace {

constexpr ServiceStatus kStopped{platform::kServiceStopped, 0};
constexpr ServiceStatus kRunning{platform::kServiceRunning, 0};

ServiceStatus stopPending(std::uint32_t waitHint) {
    return ServiceStatus{platform::kServiceStopPending, waitHint};
}

class ServiceControlTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(0u, manager.openHandles()) << "a handle leaked"; }

    // Runs one operation on "svc"; `result` gets its outcome, the return
    // value is what it printed.
    std::string run(bool (*operation)(platform::ServiceManager&, const std::string&)) {
        testing::internal::CaptureStdout();
        result = operation(manager, "svc");
        return testing::internal::GetCapturedStdout();
    }
    std::string install() { return run(installService); }
    std::string start() { return run(startService); }
    std::string stop() { return run(stopService); }
    std::string remove() { return run(removeService); }

    using Calls = std::vector<std::string>;
    FakeServiceManager manager;
    bool result = false;
};

// --- printServiceError --------------------------------------------------

TEST(ServiceErrorTest, EveryCodeHasItsText) {
    const std::pair<std::uint32_t, const char*> table[] = {
        {5, "The requested access was denied."},
        {6, "The handle to the specified service control manager database is invalid."},
        {87, "Invalid parameter."},
        {123, "The specified service name is invalid."},
        {1056, "An instance of the application is already running."},
        {1057,
         "The user account name specified in the lpServiceStartName parameter does not "
         "exist."},
        {1058,
         "The service cannot be started, either because it is disabled or because it has "
         "no enabled devices associated with it."},
        {1059, "A circular service dependency was specified."},
        {1060, "The specified service does not exist."},
        {1065, "The specified service control database does not exist."},
        {1072,
         "The specified service already exists in this database and has been marked for "
         "deletion."},
        {1073, "The specified service already exists."},
        {1078,
         "The display name already exists in the service control manager database either "
         "as a service name or as another display name."},
        // codes not in the table print their number
        {1062, "System error: 1062"},
        {0, "System error: 0"},
        {1066, "System error: 1066"},
    };
    for (const auto& [code, text] : table) {
        EXPECT_EQ(std::string(text) + "\n", serviceErrorLine(code)) << code;
    }
}

TEST(ServiceErrorTest, PrintsOneLineToStandardOutput) {
    testing::internal::CaptureStdout();
    printServiceError(1060);
    printServiceError(1062);
    EXPECT_EQ("The specified service does not exist.\nSystem error: 1062\n",
              testing::internal::GetCapturedStdout());
}

// --- install, start, remove ---------------------------------------------

TEST_F(ServiceControlTest, InstallRegistersTheExecutableAndClosesBothHandles) {
    EXPECT_EQ("", install());
    EXPECT_TRUE(result);
    EXPECT_EQ((Calls{"executablePath", "openManager", "createService svc C:\\rd\\rdserver_ext.exe",
                     "setRestartOnFailure", "limitRights", "close service", "close manager"}),
              manager.calls);
}

TEST_F(ServiceControlTest, InstallWithoutRestartOnFailureSaysSoAndSucceeds) {
    manager.failures["setRestartOnFailure"] = 5;
    manager.failures["limitRights"] = 87;
    EXPECT_EQ(
        "Restart on failure is not set: The requested access was denied.\n"
        "The service's privileges are not limited: Invalid parameter.\n",
        install());
    EXPECT_TRUE(result);
}

TEST_F(ServiceControlTest, StartWaitsWhileStartPendingThenSucceedsOnRunning) {
    manager.statuses = {{platform::kServiceStartPending, 20000}, kRunning};
    EXPECT_EQ("", start());
    EXPECT_TRUE(result);
    EXPECT_EQ((Calls{"openManager", "openService svc all", "startService", "queryStatus",
                     "sleep 2000", "queryStatus", "close service", "close manager"}),
              manager.calls);
}

TEST_F(ServiceControlTest, StartThatEndsStoppedFailsWithTheExitCodes) {
    manager.statuses = {{platform::kServiceStartPending, 0},
                        {platform::kServiceStopped, 0, 1066, 1}};
    EXPECT_EQ("The service stopped while starting (exit code 1066, service-specific code 1).\n",
              start());
    EXPECT_FALSE(result);
}

TEST_F(ServiceControlTest, StartThatStaysPendingTimesOut) {
    manager.statuses = {{platform::kServiceStartPending, 0}};
    EXPECT_EQ("Service start timed out.\n", start());
    EXPECT_FALSE(result);
    EXPECT_EQ(31u, manager.sleeps.size());  // 1 s steps past the 30 s limit
}

TEST_F(ServiceControlTest, RemoveDeletesTheService) {
    EXPECT_EQ("", remove());
    EXPECT_TRUE(result);
    EXPECT_EQ((Calls{"openManager", "openService svc all", "deleteService", "close service",
                     "close manager"}),
              manager.calls);
}

// Each refusal of the manager: the line printed, a false outcome, and every
// handle opened closed again.
TEST(ServiceControlRefusalTest, EachRefusalPrintsItsLineAndClosesWhatItOpened) {
    using Operation = bool (*)(platform::ServiceManager&, const std::string&);
    const struct {
        Operation operation;
        const char* failingCall;
        std::uint32_t code;
        const char* printed;
        std::vector<std::string> calls;
    } cases[] = {
        {installService, "executablePath", 122, "System error: 122\n", {"executablePath"}},
        {installService,
         "openManager",
         5,
         "The requested access was denied.\n",
         {"executablePath", "openManager"}},
        {installService,
         "createService",
         1073,
         "The specified service already exists.\n",
         {"executablePath", "openManager", "createService svc C:\\rd\\rdserver_ext.exe",
          "close manager"}},
        {startService,
         "openService",
         1060,
         "The specified service does not exist.\n",
         {"openManager", "openService svc all", "close manager"}},
        {startService,
         "startService",
         1056,
         "An instance of the application is already running.\n",
         {"openManager", "openService svc all", "startService", "close service", "close manager"}},
        {removeService,
         "deleteService",
         1072,
         "The specified service already exists in this database and has been marked for "
         "deletion.\n",
         {"openManager", "openService svc all", "deleteService", "close service", "close manager"}},
        {removeService, "openManager", 5, "The requested access was denied.\n", {"openManager"}},
    };
    for (const auto& c : cases) {
        FakeServiceManager manager;
        manager.failures[c.failingCall] = c.code;
        testing::internal::CaptureStdout();
        const bool result = c.operation(manager, "svc");
        EXPECT_EQ(c.printed, testing::internal::GetCapturedStdout()) << c.failingCall;
        EXPECT_FALSE(result) << c.failingCall;
        EXPECT_EQ(c.calls, manager.calls) << c.failingCall << " " << c.code;
        EXPECT_EQ(0u, manager.openHandles()) << c.failingCall << " " << c.code;
    }
}

// --- stopService ----------------------------------------------------------

TEST(PendingStopWaitTest, IsATenthOfTheHintWithinOneToTenSeconds) {
    EXPECT_EQ(1000u, pendingStopWaitMs(0));
    EXPECT_EQ(1000u, pendingStopWaitMs(10009));
    EXPECT_EQ(1001u, pendingStopWaitMs(10019));
    EXPECT_EQ(5000u, pendingStopWaitMs(50000));
    EXPECT_EQ(10000u, pendingStopWaitMs(100009));
    EXPECT_EQ(10000u, pendingStopWaitMs(std::numeric_limits<std::uint32_t>::max()));
}

TEST_F(ServiceControlTest, StopOfAStoppedServiceSendsNothing) {
    manager.statuses = {kStopped};
    EXPECT_EQ("", stop());
    EXPECT_TRUE(result);
    EXPECT_EQ((Calls{"openManager", "openService svc stop", "queryStatus", "close service",
                     "close manager"}),
              manager.calls);
}

TEST_F(ServiceControlTest, StopThatStopsAtOnceDoesNotSleep) {
    manager.statuses = {kRunning};
    manager.stopAnswer = kStopped;
    EXPECT_EQ("", stop());
    EXPECT_TRUE(result);
    EXPECT_EQ((Calls{"openManager", "openService svc stop", "queryStatus", "sendStop",
                     "close service", "close manager"}),
              manager.calls);
}

TEST_F(ServiceControlTest, AfterOwnStopWaitsTheUnclampedHint) {
    manager.statuses = {kRunning, stopPending(300), stopPending(25000), kStopped};
    manager.stopAnswer = stopPending(2500);
    EXPECT_EQ("", stop());
    EXPECT_TRUE(result);
    EXPECT_EQ((std::vector<std::uint32_t>{2500, 300, 25000}), manager.sleeps);
}

TEST_F(ServiceControlTest, AfterOwnStopGivesUpSilentlyPastTheLimit) {
    manager.statuses = {kRunning, stopPending(3000)};
    manager.stopAnswer = stopPending(3000);
    EXPECT_EQ("", stop());
    EXPECT_FALSE(result);
    // 30000 ms is still within the limit; the query at 33000 is not.
    EXPECT_EQ(11u, manager.sleeps.size());
    EXPECT_EQ(33000u, manager.tick);
}

TEST_F(ServiceControlTest, AfterOwnStopAStopSeenPastTheLimitStillCounts) {
    manager.statuses = {kRunning, stopPending(20000), kStopped};
    manager.stopAnswer = stopPending(20000);
    EXPECT_EQ("", stop());
    EXPECT_TRUE(result);
    EXPECT_EQ(40000u, manager.tick);
}

TEST_F(ServiceControlTest, AfterOwnStopAnAbsurdHintSleepsNoLongerThanTheLimit) {
    manager.statuses = {kRunning, stopPending(0xFFFFFFFFu)};
    manager.stopAnswer = stopPending(0xFFFFFFFFu);
    EXPECT_EQ("", stop());
    EXPECT_FALSE(result);
    EXPECT_EQ((std::vector<std::uint32_t>{30000, 30000}), manager.sleeps);
}

TEST_F(ServiceControlTest, AfterOwnStopAZeroHintPollsUntilTheLimit) {
    manager.statuses = {kRunning, stopPending(0)};
    manager.queryCostMs = 100;
    EXPECT_EQ("", stop());
    EXPECT_FALSE(result);
    EXPECT_EQ(0u, manager.sleeps.front());
    EXPECT_GT(manager.tick, kStopTimeoutMs);
}

TEST_F(ServiceControlTest, PendingStopIsWaitedOutInClampedSteps) {
    manager.statuses = {stopPending(50000), stopPending(200000), stopPending(500), kStopped};
    EXPECT_EQ("", stop());
    EXPECT_TRUE(result);
    EXPECT_EQ((std::vector<std::uint32_t>{5000, 10000, 1000}), manager.sleeps);
    EXPECT_EQ(0u, manager.count("sendStop"));
}

TEST_F(ServiceControlTest, PendingStopTimesOutWithAMessage) {
    manager.statuses = {stopPending(20000)};
    EXPECT_EQ("Service stop timed out.\n", stop());
    EXPECT_FALSE(result);
    // Steps of 2000 ms: 30000 is within the limit, 32000 is past it.
    EXPECT_EQ(16u, manager.sleeps.size());
    EXPECT_EQ(0u, manager.count("sendStop"));
    EXPECT_EQ("close manager", manager.calls.back());
}

TEST_F(ServiceControlTest, PendingStopThatTurnsIntoRunningGetsOurStop) {
    manager.statuses = {stopPending(0), kRunning};
    manager.stopAnswer = kStopped;
    EXPECT_EQ("", stop());
    EXPECT_TRUE(result);
    EXPECT_EQ((std::vector<std::uint32_t>{1000}), manager.sleeps);
    EXPECT_EQ(1u, manager.count("sendStop"));
}

TEST_F(ServiceControlTest, TickCounterWrapDuringAPendingStop) {
    manager.tick = 0xFFFFF000u;  // wraps 4096 ms into the wait
    manager.statuses = {stopPending(20000)};
    EXPECT_EQ("Service stop timed out.\n", stop());
    EXPECT_EQ(16u, manager.sleeps.size());
}

TEST_F(ServiceControlTest, TickCounterWrapAfterOwnStop) {
    manager.tick = 0xFFFFFFFFu - 500;
    manager.statuses = {kRunning, stopPending(3000)};
    manager.stopAnswer = stopPending(3000);
    EXPECT_EQ("", stop());
    EXPECT_FALSE(result);
    EXPECT_EQ(11u, manager.sleeps.size());
}

TEST_F(ServiceControlTest, StopOfAMissingService) {
    manager.failures["openService"] = 1060;
    EXPECT_EQ("The specified service does not exist.\n", stop());
    EXPECT_FALSE(result);
}

TEST_F(ServiceControlTest, StopWhoseFirstQueryFails) {
    manager.failures["queryStatus"] = 6;
    EXPECT_EQ("The handle to the specified service control manager database is invalid.\n", stop());
    EXPECT_FALSE(result);
    EXPECT_EQ(0u, manager.count("sendStop"));
}

TEST_F(ServiceControlTest, StopControlRefused) {
    manager.statuses = {kRunning};
    manager.failures["sendStop"] = 1062;
    EXPECT_EQ("System error: 1062\n", stop());
    EXPECT_FALSE(result);
    EXPECT_EQ("close manager", manager.calls.back());
}

// A manager whose status queries fail once the stop control went out.
struct FailingAfterStop : FakeServiceManager {
    bool sendStop(platform::ServiceHandle service, ServiceStatus& status) override {
        failures["queryStatus"] = 1066;
        return FakeServiceManager::sendStop(service, status);
    }
};

TEST(ServiceStopTest, QueryFailingAfterOwnStopIsPrinted) {
    FailingAfterStop manager;
    manager.statuses = {kRunning};
    manager.stopAnswer = stopPending(1000);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(stopService(manager, "svc"));
    EXPECT_EQ("System error: 1066\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(0u, manager.openHandles());
}

}  // namespace
