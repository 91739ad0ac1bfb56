// The program as systemd starts it: no argument, a notification socket in
// the environment, SIGTERM as the stop control.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/loopback.h"
#include "support/notify_receiver.h"
#include "support/program_copy.h"

using testing_support::ChildProcess;
using testing_support::NotifyReceiver;

namespace {

using SystemdRuntimeTest = testing_support::ProgramCopyTest;

TEST_F(SystemdRuntimeTest, ReportsReadyServesAndStopsOnTerm) {
    const std::string socketPath = (copy.folder().path() / "notify.sock").string();
    NotifyReceiver manager(socketPath);
    ASSERT_TRUE(manager.bound());
    ChildProcess service(program, {},
                         copy.environment({"NOTIFY_SOCKET=" + socketPath, "INVOCATION_ID="}));
    EXPECT_EQ("READY=1", manager.receive(10000));
    EXPECT_TRUE(service.waitForOutput("Web service hosted at", 5000));
    EXPECT_NE(std::string::npos,
              testing_support::exchange(base, "RDSERVICE / HTTP/1.1\r\n\r\n").find("READY"));
    service.signal(SIGTERM);
    EXPECT_EQ("STOPPING=1", manager.receive(5000));
    EXPECT_EQ(0, service.wait(5000));
    EXPECT_NE(std::string::npos, service.output().find("Bye!\n"));
    EXPECT_EQ(std::string::npos, service.output().find("Caught signal"));
}

TEST_F(SystemdRuntimeTest, ServerThatCannotStartEndsWithExitCodeOne) {
    const auto busy = testing_support::occupyPorts(base, 10);
    ASSERT_FALSE(busy.empty());
    const std::string socketPath = (copy.folder().path() / "notify.sock").string();
    NotifyReceiver manager(socketPath);
    ChildProcess service(program, {},
                         copy.environment({"NOTIFY_SOCKET=" + socketPath, "INVOCATION_ID="}));
    // Never ready: nothing listens.
    EXPECT_EQ("STOPPING=1", manager.receive(10000));
    EXPECT_EQ(1, service.wait(5000));
}

TEST_F(SystemdRuntimeTest, WithoutServiceManagerTheDispatcherFails) {
    ChildProcess shell(program, {}, copy.environment({"NOTIFY_SOCKET=", "INVOCATION_ID="}));
    EXPECT_EQ(1, shell.wait(10000));
    EXPECT_EQ(std::string::npos, shell.output().find("Web service hosted at"));
}

}  // namespace
