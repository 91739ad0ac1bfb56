// Against the real service control manager: registers throw-away services
// under unique names that are never started, and removes them again.
#include <windows.h>

#include <process.h>

#include <gtest/gtest.h>

#include "support/service_query.h"

#include <string>

#include "host/service_control.h"
#include "platform/service_notify.h"

namespace {

class Win32ServiceManagerTest : public ::testing::Test {
  protected:
    void TearDown() override {
        testing::internal::CaptureStdout();
        removeService(*manager, name);  // in case a test stopped half-way
        testing::internal::GetCapturedStdout();
    }

    std::string run(bool (*operation)(platform::ServiceManager&, const std::string&)) {
        testing::internal::CaptureStdout();
        result = operation(*manager, name);
        return testing::internal::GetCapturedStdout();
    }

    std::unique_ptr<platform::ServiceManager> manager = platform::makeServiceManager();
    const std::string name = "rdext_test_" + std::to_string(::_getpid());
    bool result = false;
};

TEST_F(Win32ServiceManagerTest, InstallStopAndRemoveAThrowAwayService) {
    EXPECT_EQ("", run(installService));
    ASSERT_TRUE(result);
    std::string path;
    ASSERT_TRUE(manager->executablePath(path));
    EXPECT_EQ(path.find(' ') == std::string::npos ? path : "\"" + path + "\"",
              testing_support::registeredServiceCommand(name));

    EXPECT_EQ("The specified service already exists.\n", run(installService));
    EXPECT_FALSE(result);
    EXPECT_EQ("", run(stopService));  // registered, never started: nothing to send
    EXPECT_TRUE(result);
    EXPECT_EQ("", run(removeService));
    EXPECT_TRUE(result);
    EXPECT_EQ("The specified service does not exist.\n", run(removeService));
}

TEST_F(Win32ServiceManagerTest, PathWithBlanksIsRegisteredInQuotes) {
    platform::ServiceHandleOwner scm(*manager, manager->openManager());
    ASSERT_TRUE(scm);
    platform::ServiceHandleOwner service(
        *manager, manager->createService(scm.get(), name, "C:\\Program Files\\rd ext\\x.exe"));
    ASSERT_TRUE(service) << manager->lastError();
    EXPECT_EQ("\"C:\\Program Files\\rd ext\\x.exe\"",
              testing_support::registeredServiceCommand(name));
}

TEST_F(Win32ServiceManagerTest, OperationsOnAMissingService) {
    EXPECT_EQ("The specified service does not exist.\n", run(startService));
    EXPECT_EQ("The specified service does not exist.\n", run(stopService));
    EXPECT_EQ("The specified service does not exist.\n", run(removeService));
    EXPECT_FALSE(result);
}

TEST(Win32ServiceNotifyTest, ThereIsNoNotificationSocket) {
    EXPECT_FALSE(platform::notifyServiceManager("READY=1"));
}

}  // namespace
