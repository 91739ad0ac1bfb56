// Runs a program with pipes on its output, a deadline and a size cap.
// pipe2 with O_CLOEXEC keeps the pipe ends out of programs that other
// threads start at the same time.
#include "platform/subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/clock.h"
#include "platform/unique_fd_posix.h"

extern char** environ;

namespace platform {
namespace {

bool makePipe(UniqueFd& readEnd, UniqueFd& writeEnd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    readEnd.reset(fds[0]);
    writeEnd.reset(fds[1]);
    return true;
}

// Reads both pipes until the child closes them or the deadline passes.
bool drain(UniqueFd& out, UniqueFd& err, SubprocessResult& result, std::size_t maxOutputBytes,
           std::uint32_t start, unsigned timeoutMs) {
    UniqueFd* fds[2] = {&out, &err};
    std::string* sinks[2] = {&result.out, &result.err};
    while (out.get() >= 0 || err.get() >= 0) {
        const std::uint32_t elapsed = tickCountMs() - start;
        if (elapsed >= timeoutMs) return false;
        pollfd polls[2];
        for (int i = 0; i < 2; ++i) polls[i] = pollfd{fds[i]->get(), POLLIN, 0};
        if (::poll(polls, 2, static_cast<int>(timeoutMs - elapsed)) < 0 && errno != EINTR) {
            return false;
        }
        for (int i = 0; i < 2; ++i) {
            if (polls[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i]->get(), buffer, sizeof buffer);
            if (n > 0) {
                const std::size_t room =
                    maxOutputBytes - std::min(maxOutputBytes, sinks[i]->size());
                sinks[i]->append(buffer, std::min(room, static_cast<std::size_t>(n)));
            } else if (n == 0 || errno != EINTR) {
                fds[i]->reset();
            }
        }
    }
    return true;
}

// Reaps the child; one that is still running at the deadline (it may have
// closed its pipes without exiting) is killed first. False on a time-out.
bool reap(pid_t pid, std::uint32_t start, unsigned timeoutMs, int& exitCode) {
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 && tickCountMs() - start < timeoutMs) {
        sleepMs(5);
    }
    const bool inTime = done != 0;
    if (!inTime) ::kill(pid, SIGKILL);
    while (done <= 0 && (done = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    exitCode = done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return inTime;
}

}  // namespace

SubprocessResult runSubprocess(const std::vector<std::string>& args, unsigned timeoutMs,
                               std::size_t maxOutputBytes) {
    SubprocessResult result;
    if (args.empty()) return result;
    UniqueFd outRead, outWrite, errRead, errWrite;
    if (!makePipe(outRead, outWrite) || !makePipe(errRead, errWrite)) return result;
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, errWrite.get(), 2);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return result;
    result.started = true;
    outWrite.reset();
    errWrite.reset();

    const std::uint32_t start = tickCountMs();
    const bool drained = drain(outRead, errRead, result, maxOutputBytes, start, timeoutMs);
    // After a drain time-out the deadline has passed, so reap kills at once.
    result.timedOut = !reap(pid, start, timeoutMs, result.exitCode) || !drained;
    return result;
}

}  // namespace platform
