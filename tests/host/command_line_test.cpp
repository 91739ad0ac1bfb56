#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/entry_point.h"

namespace {

const char* const kUsage = "Usage:\nApp.exe -[install|start|stop|remove|console|check]\n";

// The closing waits a command asked for, in milliseconds, instead of sleeping.
std::vector<unsigned> requestedWaits;
void recordWait(unsigned milliseconds) { requestedWaits.push_back(milliseconds); }

struct CommandOutcome {
    int exitCode;
    std::string printed;
    std::vector<unsigned> waits;
};

// Runs the command part of the command line with `arguments` after the program name.
CommandOutcome runCommand(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "rdserver_ext");
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(&argument[0]);
    }
    argv.push_back(nullptr);
    requestedWaits.clear();
    testing::internal::CaptureStdout();
    const int code = runServiceCommand(static_cast<int>(arguments.size()), argv.data(), recordWait);
    return {code, testing::internal::GetCapturedStdout(), requestedWaits};
}

const std::vector<unsigned> kTwoSeconds{2000};
const std::vector<unsigned> kNoWait{};

TEST(CommandLine, UnknownOrUpperCaseOptionPrintsUsageWaitsAndFails) {
    for (const char* option : {"-Install", "-help", "install"}) {
        const CommandOutcome outcome = runCommand({option});
        EXPECT_EQ(kUsage, outcome.printed) << option;
        EXPECT_EQ(1, outcome.exitCode) << option;
        EXPECT_EQ(kTwoSeconds, outcome.waits) << option;  // the closing wait is on by default
    }
}

TEST(CommandLine, ZeroAsSecondArgumentSkipsTheWaitAndIeForcesSuccess) {
    const CommandOutcome forced = runCommand({"-unknown", "0", "/ie"});
    EXPECT_EQ(kUsage, forced.printed);
    EXPECT_EQ(0, forced.exitCode);
    EXPECT_EQ(kNoWait, forced.waits);

    EXPECT_EQ(1, runCommand({"-unknown", "0", "/IE"}).exitCode);
    EXPECT_EQ(1, runCommand({"-unknown", "text", "/ie "}).exitCode);
}

TEST(CommandLine, NonZeroSecondArgumentWaitsTwoSecondsNotItsValue) {
    EXPECT_EQ(kTwoSeconds, runCommand({"-unknown", "5"}).waits);
    EXPECT_EQ(kNoWait, runCommand({"-unknown", "abc"}).waits);  // atoi("abc") is 0
}

}  // namespace
