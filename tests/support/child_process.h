#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// A program started by a test, with standard output and error captured in a
// file. The destructor kills it (by its own pid) if it still runs.
class ChildProcess {
  public:
    // `environment` entries ("NAME=value") are added to the inherited ones.
    ChildProcess(const std::string& executable, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    // Sends a signal (POSIX); on Windows any signal terminates the process.
    void signal(int signalNumber);
    // The exit code, or -1 when the process has not ended within `timeoutMs`.
    // A process ended by a signal gives 128 + the signal number.
    int wait(int timeoutMs);
    // Everything the process has written so far.
    std::string output() const;
    // Waits until the output contains `text`; false after `timeoutMs`.
    bool waitForOutput(const std::string& text, int timeoutMs) const;

  private:
    void kill();

    long pid_ = -1;
    void* handle_ = nullptr;  // the process handle on Windows
    std::string outputPath_;
    int exitCode_ = -1;
};

// Path of a program built beside the tests (no extension; ".exe" is added on Windows).
std::string builtProgram(const std::string& name);

}  // namespace testing_support
