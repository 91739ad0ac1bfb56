#include "http/web_server_startup.h"
#include "http/port_availability.h"
#include "platform/net.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/loopback.h"
#include "support/port_range.h"
#include "support/temp_folder.h"

namespace {

// A ten-port range that is free when the test starts.
class PortSelectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        base = ports.first();
        ASSERT_GT(base, 0);
        certificatePath = (folder.path() / "missing.pem").string();
    }

    std::unique_ptr<CivetServer> start(std::string* printed) {
        testing::internal::CaptureStdout();
        std::unique_ptr<CivetServer> server =
            startWebServer("127.0.0.1", base, base + 9, certificatePath, logPath(), kServiceLimits);
        *printed = testing::internal::GetCapturedStdout();
        return server;
    }
    std::string logPath() const { return (folder.path() / "engine.log").string(); }
    std::string hostedLine(const std::string& ports) {
        return "Web service hosted at http://" + ports + "\n";
    }

    testing_support::PortRange ports{10};
    int base = 0;
    std::string certificatePath;
    testing_support::TempFolder folder;
};

TEST_F(PortSelectionTest, FirstFreePortServesHttpOnly) {
    std::string printed;
    std::unique_ptr<CivetServer> server = start(&printed);
    ASSERT_NE(nullptr, server);
    EXPECT_EQ(std::vector<int>{base}, server->getListeningPorts());
    EXPECT_EQ(hostedLine("127.0.0.1:" + std::to_string(base)), printed);
}

TEST_F(PortSelectionTest, BusyPortsAreSkipped) {
    const auto busy = testing_support::occupyPorts(base, 2);
    ASSERT_FALSE(busy.empty());
    std::string printed;
    std::unique_ptr<CivetServer> server = start(&printed);
    ASSERT_NE(nullptr, server);
    EXPECT_EQ(std::vector<int>{base + 2}, server->getListeningPorts());
}

TEST_F(PortSelectionTest, EveryPortBusyGivesNoServerAndNoLine) {
    const auto busy = testing_support::occupyPorts(base, 10);
    ASSERT_FALSE(busy.empty());
    std::string printed;
    EXPECT_EQ(nullptr, start(&printed));
    EXPECT_EQ("", printed);
}

// When the engine refuses every pair, its own words come back for printing.
TEST_F(PortSelectionTest, EngineRefusalGivesItsReason) {
    std::string reason;
    testing::internal::CaptureStdout();
    EXPECT_EQ(nullptr, startWebServer("256.0.0.1", base, base + 1, certificatePath, logPath(),
                                      kServiceLimits, &reason));
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ(0u, reason.find("Failed to setup server ports")) << reason;
    // The engine's messages go to the log the caller named.
    EXPECT_NE(std::string::npos, folder.read("engine.log").find("cannot bind to 256.0.0.1"));
}

TEST_F(PortSelectionTest, PortBusyOnLoopbackOnlyCountsAsBusy) {
    const auto busy = testing_support::occupyPorts(base, 1, false);
    ASSERT_FALSE(busy.empty());
    EXPECT_TRUE(isPortInUse(base));
    EXPECT_FALSE(isPortInUse(base + 1));
}

TEST_F(PortSelectionTest, CertificateWithOnlyTheLastPortFreeGivesNoServer) {
    certificatePath = folder.write("configured.pem", "not used by the engine");
    const auto busy = testing_support::occupyPorts(base, 9);
    ASSERT_FALSE(busy.empty());
    std::string printed;
    EXPECT_EQ(nullptr, start(&printed));
    EXPECT_EQ("", printed);
}

// A bad certificate must not leave the machine without the extension:
// plain HTTP on the range, and one line that says why.
TEST_F(PortSelectionTest, UnusableCertificateFallsBackToHttpAndSaysWhy) {
    testing_support::ScopedWorkingDirectory inFolder(folder.path());
    certificatePath = "./ssl_localhost.pem";
    folder.write("ssl_localhost.pem", "not a certificate");
    testing::internal::CaptureStdout();
    std::unique_ptr<CivetServer> server =
        startWebServer("127.0.0.1", base, base + 9, certificatePath, logPath(), kServiceLimits);
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_NE(nullptr, server);
    EXPECT_EQ(std::vector<int>{base}, server->getListeningPorts());
    EXPECT_EQ(0u, printed.find("HTTPS is not available (Error initializing SSL context"))
        << printed;
    EXPECT_NE(std::string::npos,
              printed.find("); serving HTTP only\nWeb service hosted at http://127.0.0.1:" +
                           std::to_string(base) + "\n"))
        << printed;
}

}  // namespace

namespace {

TEST(PortProbe, PortWithOnlyClosedConnectionsIsFree) {
    testing_support::LoopbackSocket listener;
    ASSERT_TRUE(listener.listenOn(0));
    const int port = listener.localPort();
    {
        testing_support::LoopbackSocket client;
        ASSERT_TRUE(client.connectTo(port));
        testing_support::LoopbackSocket served = listener.acceptOne(5000);
        ASSERT_TRUE(served.valid());
        served.close();  // the server side closes first and keeps TIME_WAIT
        client.receiveUntilClosed(2000);
        EXPECT_TRUE(isPortInUse(port));
        listener.close();
    }
    EXPECT_FALSE(isPortInUse(port));
}

}  // namespace

namespace {

// Ports 11102 and 11105 kept back by the system, 11103 taken by a listener.
PortState reservedTwoOfTen(int port) {
    if (port == 11102 || port == 11105) return PortState::kReserved;
    return port == 11103 ? PortState::kInUse : PortState::kFree;
}

PortState allFree(int) { return PortState::kFree; }

}  // namespace

TEST(PortAvailability, ReservedPortsAreNamedWithTheCommandThatListsThem) {
    EXPECT_EQ(std::string("Ports 11102 11105 of 11100-11109 are reserved by the system (") +
                  platform::reservedPortsCommand() + " lists the reservations)",
              reservedPortsLine(11100, 11109, reservedTwoOfTen));
    EXPECT_EQ("", reservedPortsLine(11100, 11109, allFree));
}
