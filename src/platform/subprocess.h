#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// What became of one run of a program.
struct SubprocessResult {
    bool started = false;   // false when the program could not be started
    bool timedOut = false;  // it outlived the time-out (and was killed), or
                            // kept its output open that long
    int exitCode = -1;      // -1 when it did not exit normally
    std::string out;        // standard output, cut at the size cap
    std::string err;        // standard error, cut at the size cap
};

// Runs `argv[0]` (looked up on PATH when it holds no '/') with the other
// entries as its arguments, standard input from /dev/null, and collects its
// standard output and error. Output beyond `maxOutputBytes` per stream is
// read and dropped, so a chatty program cannot block on a full pipe. A
// program still running after `timeoutMs` is killed by its pid and reaped.
// Blocks the calling thread until then; safe on several threads at once.
//
// Linux only (the systemd service manager); Windows has no implementation.
SubprocessResult runSubprocess(const std::vector<std::string>& argv, unsigned timeoutMs,
                               std::size_t maxOutputBytes);

}  // namespace platform
