#include "config/load_config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

#include "support/temp_folder.h"

namespace {

const char* const kNotConfigured = "Server port start is not configured in config.ini\n";

// Runs loadConfig inside a temporary working folder on settings that start
// with recognisable values.
class LoadConfigTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedDirectory_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_.path());
        settings.portRangeStart = 4242;
        settings.sslCertificatePath = "untouched.pem";
    }
    void TearDown() override { std::filesystem::current_path(savedDirectory_); }

    void writeConfig(const std::string& contents) { folder_.write("config.ini", contents); }

    // Calls loadConfig; keeps what it printed in `printed`.
    int run() {
        ::testing::internal::CaptureStdout();
        const int result = loadConfig(settings, &load);
        printed = ::testing::internal::GetCapturedStdout();
        return result;
    }

    ServerSettings settings;
    ConfigLoad load;
    std::string printed;

  private:
    testing_support::TempFolder folder_;
    std::filesystem::path savedDirectory_;
};

// Only an unreadable file (a folder in its place) admits no Origin and says why.
TEST_F(LoadConfigTest, MissingUnreadableAndReadableFiles) {
    const std::string lineStart =
        unreadableConfigLine(std::filesystem::current_path().string(), "");
    for (const auto& [file, portRangeStart, origins] :
         {std::tuple(ConfigFile::kMissing, 4242, "every origin"),
          std::tuple(ConfigFile::kUnreadable, 4242, "none"),
          std::tuple(ConfigFile::kRead, 12000, "https://a.example")}) {
        if (file == ConfigFile::kUnreadable) std::filesystem::create_directory("config.ini");
        if (file == ConfigFile::kRead && std::filesystem::remove("config.ini"))
            writeConfig("SERVER_PORT_START = 12000\nALLOWED_ORIGINS = https://a.example\n");
        EXPECT_EQ(file == ConfigFile::kRead ? 0 : 1, run());
        EXPECT_EQ("", printed);
        EXPECT_EQ(file, load.file);
        EXPECT_EQ(portRangeStart, settings.portRangeStart);
        EXPECT_EQ(origins, describeAllowedOrigins(settings.allowedOrigins));
        EXPECT_EQ(file == ConfigFile::kUnreadable, load.unreadableLine.rfind(lineStart, 0) == 0);
    }
}

// Both settings are read; a missing certificate key gives an empty path, and
// the highest usable start leaves room for ten ports.
TEST_F(LoadConfigTest, ReadsBothSettings) {
    for (const auto& [contents, portRangeStart, certificate] :
         {std::tuple("SERVER_PORT_START = 12000\nSERVER_SSL_CERTICICATE = \"C:/certs/x.pem\"\n",
                     12000, "C:/certs/x.pem"),
          std::tuple("SERVER_PORT_START = 12000\r\n", 12000, ""),
          std::tuple("SERVER_PORT_START = 65526\nSERVER_SSL_CERTICICATE = a.pem\n", 65526,
                     "a.pem")}) {
        SCOPED_TRACE(contents);
        writeConfig(contents);
        settings.portRangeStart = 4242;  // as each test started
        settings.sslCertificatePath = "untouched.pem";
        EXPECT_EQ(0, run());
        EXPECT_EQ("", printed);
        EXPECT_EQ(portRangeStart, settings.portRangeStart);
        EXPECT_EQ(certificate, settings.sslCertificatePath);
    }
}

TEST_F(LoadConfigTest, UnusablePortStartFallsBackToTheDefault) {
    for (const char* start :
         {"SERVER_PORT_START=12000", "SERVER_PORT_START = 0", "SERVER_PORT_START = -5",
          "SERVER_PORT_START = 65527", "SERVER_PORT_START = 99999999999",
          "SERVER_PORT_START = port", "server_port_start = 12000"}) {
        SCOPED_TRACE(start);
        writeConfig(std::string(start) + "\nSERVER_SSL_CERTICICATE = a.pem\n");
        settings.portRangeStart = 4242;
        EXPECT_EQ(1, run());
        EXPECT_EQ(kNotConfigured, printed);
        EXPECT_EQ(ServerSettings().portRangeStart, settings.portRangeStart);
        EXPECT_EQ("untouched.pem", settings.sslCertificatePath);
    }
}

TEST_F(LoadConfigTest, AllowedOriginsHoldEvenWhenThePortStartFails) {
    writeConfig("SERVER_PORT_START = 0\nALLOWED_ORIGINS = https://a.example\n");
    EXPECT_EQ(1, run());
    EXPECT_EQ("https://a.example", describeAllowedOrigins(settings.allowedOrigins));
    writeConfig("SERVER_PORT_START = 12000\nALLOWED_ORIGINS = \n");
    EXPECT_EQ(0, run());
    EXPECT_FALSE(settings.allowedOrigins.restricted);
}

TEST_F(LoadConfigTest, ShippedSampleGivesTheInitialSettings) {
    const std::filesystem::path sample(RDEXT_SAMPLE_CONFIG);
    std::ifstream in(sample, std::ios::binary);
    ASSERT_TRUE(in) << sample;
    std::ostringstream contents;
    contents << in.rdbuf();
    writeConfig(contents.str());
    EXPECT_EQ(0, run());
    EXPECT_EQ(ServerSettings().portRangeStart, settings.portRangeStart);
    EXPECT_EQ(ServerSettings().sslCertificatePath, settings.sslCertificatePath);
    EXPECT_FALSE(settings.allowedOrigins.restricted);
}

}  // namespace
