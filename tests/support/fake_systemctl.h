#pragma once

#include <string>
#include <vector>

#include "platform/service_manager.h"

namespace testing_support {

// A fake `systemctl` (a shell script) in a fresh temporary folder, put first
// on PATH for the object's lifetime, beside an empty unit folder. The script
// appends its arguments to a log and answers from a scenario. POSIX only.
class FakeSystemctl {
  public:
    FakeSystemctl();
    ~FakeSystemctl();
    FakeSystemctl(const FakeSystemctl&) = delete;
    FakeSystemctl& operator=(const FakeSystemctl&) = delete;

    // The answer to the next call with exactly `args` (joined by blanks);
    // answers for the same args are used in order, the last one repeats.
    // Calls without an answer succeed silently.
    void answer(const std::string& args, int exitCode, const std::string& out = "",
                const std::string& err = "");
    // The call with `args` sleeps far longer than any test waits, keeping
    // its output open or (closeOutput) closing it first.
    void hang(const std::string& args, bool closeOutput = false);

    // Every call so far, one entry per call.
    std::vector<std::string> calls() const;

    // Process id of the latest call, 0 before the first.
    int lastPid() const;

    // Settings for a manager that uses this fake and its unit folder.
    platform::ServiceManagerSettings settings() const;
    std::string unitDirectory() const { return root_ + "/units"; }
    std::string binDirectory() const { return root_ + "/bin"; }

  private:
    std::string root_;
    std::string savedPath_;
};

// The whole content of a file; empty when it cannot be read.
std::string readFile(const std::string& path);

}  // namespace testing_support
