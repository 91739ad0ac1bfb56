// The one bounded log of the program (the engine's error log, the service log).
#include "logging/rotating_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/temp_folder.h"

namespace {

TEST(RotatingLog, StaysUnderItsCapWithOneOlderFile) {
    testing_support::TempFolder folder;
    const std::string path = (folder.path() / "x.log").string();
    RotatingLog log(path, 1000);
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(log.write("line " + std::to_string(i) + std::string(40, '.')));
    }
    EXPECT_LE(std::filesystem::file_size(path), 1000u);
    EXPECT_LE(std::filesystem::file_size(path + ".1"), 1000u);
    EXPECT_GT(std::filesystem::file_size(path + ".1"), 900u);
    EXPECT_FALSE(std::filesystem::exists(path + ".2"));
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    const std::string last = contents.str();
    EXPECT_NE(std::string::npos, last.find("] line 99.....")) << last;
    EXPECT_EQ('[', last[0]);
}

// A folder where the older file belongs makes every rename fail, as a viewer
// holding the log without delete sharing does on Windows.
TEST(RotatingLog, FailedRenameStopsOneLinePastTheCapCountsAndRetries) {
    testing_support::TempFolder folder;
    const std::string path = (folder.path() / "x.log").string();
    std::filesystem::create_directories(path + ".1/held");
    RotatingLog log(path, 1000);
    const std::string text(90, '.');  // 113 bytes with the timestamp
    int written = 0;
    for (int i = 0; i < 20; ++i) written += log.write(text) ? 1 : 0;
    EXPECT_EQ(9, written);  // 8 fit, the 9th goes past the cap
    EXPECT_EQ(9u * 113u, std::filesystem::file_size(path));

    std::filesystem::remove_all(path + ".1");
    EXPECT_TRUE(log.write("after"));
    EXPECT_EQ(9u * 113u, std::filesystem::file_size(path + ".1"));
    const std::string fresh = folder.read("x.log");
    EXPECT_EQ(20u, fresh.find("] 11 lines were dropped while the full log could not be renamed\n["))
        << fresh;
    EXPECT_NE(std::string::npos, fresh.find("] after\n")) << fresh;
}

}  // namespace
