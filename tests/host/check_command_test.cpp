// -check in a folder of its own, with device stand-ins that name a model of
// its own (devices of other tests never answer for it) and a fake service
// manager.
#include "host/check_command.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "support/fake_service_manager.h"
#include "support/port_range.h"
#include "support/scripted_upstream.h"
#include "support/temp_folder.h"

using namespace testing_support;

namespace {

const char* const kModel = "Check Command Model 17";

std::string deviceAnswer(const std::string&) {
    return httpAnswer(std::string("<RDService status=\"READY\" info=\"") + kModel +
                      " Registered Device Service\" />");
}

// How -check names the owner of a listener of this process: unknown where
// the system names none (Wine's tables).
std::string ownOwnerText(int port) {
    std::vector<platform::LoopbackListener> listeners;
    platform::listLoopbackListeners(port, port, listeners);
    const platform::AccountIdentity owner = listeners.at(0).owner;
    const bool system = owner.kind == platform::AccountKind::kSystem;
    return !owner.known()
               ? "owner cannot be read: trusted as before"
               : "owned by " + platform::accountName(owner) + " (" + owner.id + ", " +
                     (system ? "a system account" : "this program's account") + "): trusted";
}

class CheckCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder.write("config.ini",
                     "SERVER_PORT_START = 11100\nSERVER_SSL_CERTICICATE = ./none.pem\n"
                     "ALLOWED_ORIGINS = https://*.bank.example\n");
        const std::string dataFolder = data.path().string() + "/Lumetra-RD-Service-Wrapper";
        platform::createDirectory(dataFolder);
        TempFolder::writeFile(dataFolder + "/DeviceConfig.xml",
                              std::string("<opts devicemodel=\"") + kModel + "\" />");
    }
    // The upstream range of the check: three ports free right now.
    void narrowRange(int first) {
        discovery.firstPort = first;
        discovery.lastPort = first + 2;
    }
    int run() {
        ScopedWorkingDirectory inFolder(folder.path());
        testing::internal::CaptureStdout();
        const int code = runCheck(CheckSetup{&services, {data.path().string(), discovery}});
        printed = testing::internal::GetCapturedStdout();
        return code;
    }
    bool printedLine(const std::string& line) const {
        return printed.find("\n" + line + "\n") != std::string::npos;
    }

    TempFolder folder;
    TempFolder data;
    FakeServiceManager services;
    DiscoveryOptions discovery;
    std::string printed;
};

TEST_F(CheckCommandTest, NamesTheSettingsEachPortAndTheDevicesPort) {
    const PortRange ports(3);
    const int first = ports.first();
    narrowRange(first);
    discovery.listListeners = platform::listLoopbackListeners;  // under Wine too
    ScriptedUpstream refusing(first, [](const std::string&) { return httpAnswer("", 404); });
    ScriptedUpstream device(first + 1, deviceAnswer);
    ASSERT_TRUE(refusing.listening() && device.listening());
    services.statuses = {{platform::kServiceRunning, 0}};
    EXPECT_EQ(0, run()) << printed;
    const std::string listed = " (listener listed on 127.0.0.1; " + ownOwnerText(first) + ")";
    for (const std::string& line : {
             std::string("HTTPS: no: ./none.pem does not exist"),
             std::string("Allowed origins: https://*.bank.example"),
             "  " + std::to_string(first) + ": answers but does not name the device: status 404" +
                 listed,
             "  " + std::to_string(first + 1) + ": identifies the device: info \"" + kModel +
                 " Registered Device Service\"" + listed,
             "  " + std::to_string(first + 2) + ": nothing listening (no listener listed)",
             "A forward would use port " + std::to_string(first + 1) + ".",
             std::string("Service Lumetra_RD_ServiceExt: installed, running"),
         }) {
        EXPECT_TRUE(printedLine(line)) << line << " in:\n" << printed;
    }
}

// Without the system's listener table every port is probed, as a forward does then.
TEST_F(CheckCommandTest, WithoutTheListenerTableProbesEveryPort) {
    const PortRange ports(3);
    const int first = ports.first();
    narrowRange(first);
    discovery.listListeners = [](int, int, std::vector<platform::LoopbackListener>&) {
        return false;
    };
    ScriptedUpstream device(first + 2, deviceAnswer);
    services.statuses = {{platform::kServiceStopped, 0}};
    EXPECT_EQ(0, run()) << printed;
    for (const std::string& line :
         {std::string("  (the system's table of listeners is not read here: every port is probed)"),
          "  " + std::to_string(first) + ": nothing listening",
          "A forward would use port " + std::to_string(first + 2) + "."}) {
        EXPECT_TRUE(printedLine(line)) << line << " in:\n" << printed;
    }
}

TEST_F(CheckCommandTest, WithoutTheDeviceFails) {
    const PortRange ports(3);
    narrowRange(ports.first());
    services.failures["openService"] = platform::kErrorServiceDoesNotExist;
    EXPECT_EQ(1, run()) << printed;
    EXPECT_TRUE(printedLine("No upstream identifies the device: a forward would answer errCode 5."))
        << printed;
    EXPECT_TRUE(printedLine("Service Lumetra_RD_ServiceExt: not installed")) << printed;
    services.failures = {{"openManager", platform::kErrorAccessDenied}};
    EXPECT_EQ("cannot tell: The requested access was denied.",
              describeServiceState(services, "svc"));
}

}  // namespace
