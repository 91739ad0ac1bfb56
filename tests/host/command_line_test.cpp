#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "host/entry_point.h"

namespace {

const char* const kUsage = "Usage:\nApp.exe -[install|start|stop|remove|console]\n";

struct CommandOutcome {
    int exitCode;
    std::string printed;
    double seconds;
};

// Runs the command part of the command line with `arguments` after the program name.
CommandOutcome runCommand(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "rdserver_ext");
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(&argument[0]);
    }
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    const auto started = std::chrono::steady_clock::now();
    const int code = runServiceCommand(static_cast<int>(arguments.size()), argv.data());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return {code, testing::internal::GetCapturedStdout(), seconds};
}

TEST(CommandLine, UnknownOrUpperCaseOptionPrintsUsageWaitsAndFails) {
    for (const char* option : {"-Install", "-help", "install"}) {
        const CommandOutcome outcome = runCommand({option});
        EXPECT_EQ(kUsage, outcome.printed) << option;
        EXPECT_EQ(1, outcome.exitCode) << option;
        EXPECT_GE(outcome.seconds, 1.9) << option;  // the closing wait is on by default
    }
}

TEST(CommandLine, ZeroAsSecondArgumentSkipsTheWaitAndIeForcesSuccess) {
    const CommandOutcome forced = runCommand({"-unknown", "0", "/ie"});
    EXPECT_EQ(kUsage, forced.printed);
    EXPECT_EQ(0, forced.exitCode);
    EXPECT_LT(forced.seconds, 1.5);

    EXPECT_EQ(1, runCommand({"-unknown", "0", "/IE"}).exitCode);
    EXPECT_EQ(1, runCommand({"-unknown", "text", "/ie "}).exitCode);
}

TEST(CommandLine, NonZeroSecondArgumentWaitsTwoSecondsNotItsValue) {
    const CommandOutcome outcome = runCommand({"-unknown", "5"});
    EXPECT_GE(outcome.seconds, 1.9);
    EXPECT_LT(outcome.seconds, 4.5);
    EXPECT_LT(runCommand({"-unknown", "abc"}).seconds, 1.5);  // atoi("abc") is 0
}

}  // namespace
