// runSubprocess on its own; time-outs and kills are covered through the
// systemd manager (systemd_manager_test).
#include "platform/subprocess.h"

#include <gtest/gtest.h>

#include <string>

using platform::runSubprocess;
using platform::SubprocessResult;

TEST(Subprocess, CollectsBothStreamsAndTheExitCode) {
    const SubprocessResult result =
        runSubprocess({"sh", "-c", "echo out; echo err >&2; exit 3"}, 10000, 1024);
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(3, result.exitCode);
    EXPECT_EQ("out\n", result.out);
    EXPECT_EQ("err\n", result.err);
}

TEST(Subprocess, OutputPastTheCapIsReadAndDropped) {
    // 100000 bytes fill a pipe: the child only finishes when they are read.
    const SubprocessResult result =
        runSubprocess({"sh", "-c", "head -c 100000 /dev/zero; echo e >&2"}, 10000, 1000);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(0, result.exitCode);
    EXPECT_EQ(std::string(1000, '\0'), result.out);
    EXPECT_EQ("e\n", result.err);
}

TEST(Subprocess, AProgramThatCannotStart) {
    EXPECT_FALSE(runSubprocess({"/nonexistent/program"}, 1000, 1024).started);
    EXPECT_FALSE(runSubprocess({}, 1000, 1024).started);
}
