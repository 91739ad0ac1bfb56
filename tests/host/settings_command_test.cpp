#include "host/settings_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace {

const std::string kShipped =
    "# Settings\r\nSERVER_PORT_START = 11100\r\n"
    "SERVER_SSL_CERTICICATE = \"./ssl_localhost.pem\"\r\n";

// Runs the command in a folder holding config.ini with `contents`; returns
// the exit code and leaves the file's bytes in `after`.
int writeSettings(const std::string& contents, std::vector<std::string> words, std::string& after) {
    testing_support::TempFolder folder;
    folder.write("config.ini", contents);
    std::vector<char*> arguments;
    for (std::string& word : words) {
        arguments.push_back(&word[0]);
    }
    testing::internal::CaptureStdout();
    int code = 0;
    {
        testing_support::ScopedWorkingDirectory inFolder(folder.path());
        code = runWriteSettings(static_cast<int>(arguments.size()), arguments.data());
    }
    testing::internal::GetCapturedStdout();
    after = folder.read("config.ini");
    return code;
}

TEST(WriteSettings, GivenValuesReplaceTheirLinesAndEmptyOnesLeaveThemAlone) {
    std::string after;
    EXPECT_EQ(0, writeSettings(kShipped,
                               {"SERVER_PORT_START=11200", "SERVER_SSL_CERTICICATE=",
                                "ALLOWED_ORIGINS=https://a.example, https://*.b.example"},
                               after));
    EXPECT_EQ(
        "# Settings\r\nSERVER_PORT_START = 11200\r\n"
        "SERVER_SSL_CERTICICATE = \"./ssl_localhost.pem\"\r\n"
        "ALLOWED_ORIGINS = \"https://a.example, https://*.b.example\"\r\n",
        after);
}

TEST(WriteSettings, ARefusedWordLeavesTheFileUntouched) {
    const std::vector<std::vector<std::string>> refused = {
        {"SERVER_PORT_START=11200", "SERVER_PORT_START=65527"},
        {"SERVER_PORT_START=11200", "SERVER_PORT_START=0"},
        {"SERVER_PORT_START=11200", "SERVER_PORT_START=12ab"},
        {"SERVER_PORT_START=11200", "OTHER_KEY=1"},
        {"SERVER_PORT_START=11200", "no equals sign"},
        // Entries the service would ignore, so the list would not say what was meant.
        {"SERVER_PORT_START=11200", "ALLOWED_ORIGINS=https://a.example, *"},
        // The service looks the certificate up as the system: nothing off this computer.
        {"SERVER_PORT_START=11200", "SERVER_SSL_CERTICICATE=\\\\host\\share\\x.pem"},
        {"SERVER_PORT_START=11200", "SERVER_SSL_CERTICICATE=\\\\?\\UNC\\host\\x.pem"},
        {"SERVER_PORT_START=11200", "SERVER_SSL_CERTICICATE=\\??\\UNC\\host\\x.pem"},
        {"SERVER_PORT_START=11200", "SERVER_SSL_CERTICICATE=C:x.pem"},
        {"SERVER_PORT_START=11200", "SERVER_SSL_CERTICICATE=certs\\Com1.pem"},
    };
    for (const auto& words : refused) {
        std::string after;
        EXPECT_EQ(1, writeSettings(kShipped, words, after)) << words.back();
        EXPECT_EQ(kShipped, after) << words.back();
    }
}

TEST(WriteSettings, LocalCertificatePathsAreWritten) {
    for (const std::string path : {"C:\\c\\x.pem", "C:/c/x.pem", "\\c\\x.pem", "c\\console.pem"}) {
        std::string after;
        EXPECT_EQ(0, writeSettings("", {"SERVER_SSL_CERTICICATE=" + path}, after)) << path;
    }
}

}  // namespace
