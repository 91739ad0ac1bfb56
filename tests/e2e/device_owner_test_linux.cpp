// Whose device a forward reaches: another account's listener below the
// device is never used; the caller's own device is. The other account is
// nobody (this process runs as root in CI).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/extension_fixture.h"
#include "support/other_account.h"
#include "support/rd_answer.h"

using testing_support::ChildProcess;

namespace {

const std::string kInfo = "Quillaris-USB ZR4410QX Registered Device Service";

class DeviceOwnerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string whyNot = testing_support::whyNoChildAsNobody();
        if (!whyNot.empty()) {
            GTEST_SKIP() << whyNot;
        }
        ASSERT_TRUE(extension.start());
    }
    // nobody's device on `port`, its info text ending in `tag`.
    void startNobodysDevice(int port, const std::string& tag) {
        nobodysDevice =
            testing_support::startAsNobody(testing_support::builtProgram("rdservice_sim"),
                                           {"--port", std::to_string(port), "--info", kInfo + tag});
        ASSERT_TRUE(nobodysDevice->waitForOutput("Simulated RD service at", 10000));
    }
    // The extension's whole answer to GET `target` sent by nobody.
    std::string getAsNobody(const std::string& target) {
        const std::string script = "exec 3<>/dev/tcp/127.0.0.1/" +
                                   std::to_string(extension.port()) + " && printf 'GET " + target +
                                   " HTTP/1.1\\r\\nHost: 127.0.0.1\\r\\n\\r\\n' >&3 && cat <&3";
        auto caller = testing_support::startAsNobody("/bin/bash", {"-c", script});
        EXPECT_EQ(0, caller->wait(30000));
        return caller->output();
    }

    testing_support::ExtensionFixture extension;
    std::unique_ptr<ChildProcess> nobodysDevice;
};

// Alone, nobody's device is refused and the line says whose; beside the
// device below, it is never used, but serves nobody's own page.
TEST_F(DeviceOwnerTest, AnotherAccountsDeviceIsNeverUsedTheCallersOwnIs) {
    const int port = extension.upstreamPort(3);
    startNobodysDevice(port, " NOBODY");
    testing::internal::CaptureStdout();
    const std::string answer = extension.send("DEVICEINFO", "/rd/info");
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing_support::rdAnswer(extension.location("/rd/info"), "(null)",
                                        testing_support::pidData(5, "RDSERVICE_NOT_AVAILABLE")),
              answer);
    EXPECT_NE(std::string::npos, printed.find("upstream port " + std::to_string(port) +
                                              " not trusted: owned by nobody, errCode 5"))
        << printed;
    extension.startDevice(extension.upstreamPort(6), {"--info", kInfo + " ROOT"});
    EXPECT_NE(std::string::npos, extension.send("GET", "/rdservice").find(" ROOT\""));
    EXPECT_NE(std::string::npos, getAsNobody("/rdservice").find(" NOBODY\""));
}

}  // namespace
