#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "support/child_process.h"

namespace testing_support {
namespace {

// Waits until `pid` ends or `timeoutMs` pass, on the process's own descriptor
// (readable once it has ended); false where the kernel offers none.
bool awaitEnd(pid_t pid, int timeoutMs) {
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd < 0) return false;
    pollfd entry{pidFd, POLLIN, 0};
    ::poll(&entry, 1, timeoutMs);
    ::close(pidFd);
    return true;
}

}  // namespace

std::string builtProgram(const std::string& name) {
    const char* dir = std::getenv("RDEXT_PROGRAM_DIR");
    return std::string(dir != nullptr ? dir : ".") + "/" + name;
}

ChildProcess::ChildProcess(const std::string& executable, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment) {
    char pattern[] = "/tmp/rdext-child-XXXXXX";
    const int outputFd = ::mkstemp(pattern);
    outputPath_ = pattern;
    std::vector<std::string> argvText{executable};
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : argvText) {
        argv.push_back(&a[0]);
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outputFd, STDOUT_FILENO);
        ::dup2(outputFd, STDERR_FILENO);
        for (const std::string& entry : environment) {
            ::putenv(const_cast<char*>(entry.c_str()));
        }
        ::execv(executable.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(outputFd);
    pid_ = pid;
}

ChildProcess::~ChildProcess() {
    kill();
    ::unlink(outputPath_.c_str());
}

void ChildProcess::signal(int signalNumber) {
    if (pid_ > 0 && exitCode_ < 0) {
        ::kill(static_cast<pid_t>(pid_), signalNumber);
    }
}

int ChildProcess::wait(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pid_ > 0 && exitCode_ < 0) {
        int status = 0;
        const pid_t done = ::waitpid(static_cast<pid_t>(pid_), &status, WNOHANG);
        if (done == static_cast<pid_t>(pid_)) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        if (!awaitEnd(static_cast<pid_t>(pid_), static_cast<int>(left.count()))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    return exitCode_;
}

void ChildProcess::kill() {
    if (pid_ > 0 && wait(0) < 0) {
        ::kill(static_cast<pid_t>(pid_), SIGKILL);
        wait(5000);
    }
}

}  // namespace testing_support
