// The program as systemd starts it: no argument, a notification socket in
// the environment, SIGTERM as the stop control.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
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
    // An invalid DeviceConfig.xml is a warning in the journal.
    std::filesystem::create_directories(copy.dataDirectory());
    std::ofstream(copy.dataDirectory() / "DeviceConfig.xml") << "<opts";
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
    // journald's level prefixes, one per line of an event.
    for (const std::string& line :
         {"<4>" + (copy.dataDirectory() / "DeviceConfig.xml").string() + " is invalid (",
          "\n<6>Listening: HTTP on 127.0.0.1:" + std::to_string(base) + "\n<6>HTTPS: no: ",
          std::string("\n<6>Device model: \"Quillaris-USB ZR4410QX\"\n"),
          std::string("\n<6>Stopped after a stop request\n")}) {
        EXPECT_NE(std::string::npos, service.output().find(line)) << line << service.output();
    }
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
    EXPECT_NE(std::string::npos, service.output().find("\n<3>Server starting failed on ports " +
                                                       std::to_string(base) + "-"));
}

TEST_F(SystemdRuntimeTest, WithoutServiceManagerTheDispatcherFails) {
    ChildProcess shell(program, {}, copy.environment({"NOTIFY_SOCKET=", "INVOCATION_ID="}));
    EXPECT_EQ(1, shell.wait(10000));
    EXPECT_EQ(std::string::npos, shell.output().find("Web service hosted at"));
}

}  // namespace
