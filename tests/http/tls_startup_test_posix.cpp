// HTTPS beside HTTP, with a certificate made by the openssl command.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "http/web_server_startup.h"
#include "rd/rd_request_handler.h"
#include "support/loopback.h"
#include "support/port_range.h"
#include "support/rd_answer.h"
#include "support/temp_folder.h"

using testing_support::ScopedWorkingDirectory;
using testing_support::TempFolder;

namespace {

std::string commandOutput(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return output;
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    ::pclose(pipe);
    return output;
}

class TlsStartupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string dir = folder.path().string();
        ASSERT_EQ(0, std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "
                                  "/CN=localhost -keyout '" +
                                  dir + "/key.pem' -out '" + dir +
                                  "/cert.pem' >/dev/null 2>&1 && cat '" + dir + "/cert.pem' '" +
                                  dir + "/key.pem' > '" + dir + "/ssl_localhost.pem'")
                                     .c_str()));
        base = ports.first();
        ASSERT_GT(base, 0);
        certificatePath = "./ssl_localhost.pem";
    }

    TempFolder folder;
    testing_support::PortRange ports{10};
    int base = 0;
    std::string certificatePath;
};

TEST_F(TlsStartupTest, HttpsPortIsTheLowerAndAnswersDiscovery) {
    ScopedWorkingDirectory inFolder(folder.path());
    testing_support::LoopbackSocket holder;
    ASSERT_TRUE(holder.listenOn(base + 1));
    testing::internal::CaptureStdout();
    std::unique_ptr<CivetServer> server =
        startWebServer("127.0.0.1", base, base + 9, certificatePath,
                       (folder.path() / "engine.log").string(), kServiceLimits);
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_NE(nullptr, server);
    const std::string ports =
        "127.0.0.1:" + std::to_string(base) + "s,127.0.0.1:" + std::to_string(base + 2);
    EXPECT_EQ("Web service hosted at http://" + ports + "\n", printed);
    EXPECT_EQ((std::vector<int>{base, base + 2}), server->getListeningPorts());

    ForwardingState forwarding{ForwardingOptions(), AllowedOrigins()};
    RDSWrapperRestfulRequestHandler handler(forwarding);
    server->addHandler("/", &handler);
    const std::string answer =
        commandOutput("curl -sk -i -X RDSERVICE https://127.0.0.1:" + std::to_string(base) + "/");
    // The scheme of LOCATION stays "http" even on the HTTPS port.
    EXPECT_EQ(testing_support::rdAnswer("http://127.0.0.1:" + std::to_string(base) + "/", "(null)",
                                        testing_support::ownRdServiceDocument()),
              answer);

    // Side by side on both listeners, so idle workers take connections
    // straight from each: every one must be served in its own scheme.
    std::string command = "curl -sk --parallel --parallel-max 8 -X RDSERVICE";
    for (int i = 0; i < 12; ++i) {
        const char* scheme = i % 2 == 0 ? "https" : "http";
        const int port = i % 2 == 0 ? base : base + 2;
        command += std::string(" -o /dev/null -w '%{http_code}\\n' ") + scheme +
                   "://127.0.0.1:" + std::to_string(port) + "/";
    }
    std::string expected;
    for (int i = 0; i < 12; ++i) {
        expected += "200\n";
    }
    EXPECT_EQ(expected, commandOutput(command));
    server->close();
}

TEST_F(TlsStartupTest, ConfiguredPathOnlyDecidesWhetherHttpsIsOffered) {
    ScopedWorkingDirectory inFolder(folder.path());
    certificatePath = "./missing.pem";
    testing::internal::CaptureStdout();
    std::unique_ptr<CivetServer> server =
        startWebServer("127.0.0.1", base, base + 9, certificatePath,
                       (folder.path() / "engine.log").string(), kServiceLimits);
    testing::internal::GetCapturedStdout();
    ASSERT_NE(nullptr, server);
    EXPECT_EQ(std::vector<int>{base}, server->getListeningPorts());
}

}  // namespace
