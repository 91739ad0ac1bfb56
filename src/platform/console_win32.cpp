#include <fcntl.h>
#include <io.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <mutex>
#include <thread>

#include "platform/console.h"
#include "platform/rotating_log.h"

namespace platform {

// The Windows C runtime treats line buffering as full buffering.
void prepareStdout() { std::setvbuf(stdout, nullptr, _IONBF, 0); }

void writeStdoutSignalSafe(const char* text, std::size_t length) {
    ::_write(1, text, static_cast<unsigned>(length));
}

// The C runtime resets a handler to the default before calling it.
void installOneShotSignalHandler(int signalNumber, void (*handler)(int)) {
    std::signal(signalNumber, handler);
}

namespace {

constexpr unsigned kPipeBytes = 4096;

std::mutex copyMutex;
std::thread copier;

// Reads what the program prints and writes it to the log line by line.
// Runs until the process ends; the log lives as long as the process.
void copyLines(int readFd, RotatingLog* log) {
    std::string pending;
    char buffer[1024];
    int n = 0;
    while ((n = ::_read(readFd, buffer, sizeof buffer)) > 0) {
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t end = 0;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            log->write(escapeControlBytes(line));
            pending.erase(0, end + 1);
        }
    }
}

}  // namespace

bool copyStdoutToLog(const std::string& logPath) {
    // A service starts without a usable standard output: give it one first.
    if (::_fileno(stdout) < 0 && std::freopen("NUL", "w", stdout) == nullptr) {
        return false;
    }
    int fds[2];
    if (::_pipe(fds, kPipeBytes, _O_BINARY) != 0) {
        return false;
    }
    if (::_dup2(fds[1], ::_fileno(stdout)) != 0) {
        ::_close(fds[0]);
        ::_close(fds[1]);
        return false;
    }
    ::_close(fds[1]);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::lock_guard<std::mutex> lock(copyMutex);
    copier = std::thread(copyLines, fds[0], new RotatingLog(logPath));
    return true;
}

void finishStdoutCopy() {
    std::lock_guard<std::mutex> lock(copyMutex);
    if (!copier.joinable()) {
        return;
    }
    // Pointing standard output elsewhere closes the pipe's last writer: the
    // copier reads to the end and stops.
    std::fflush(stdout);
    std::freopen("NUL", "w", stdout);
    copier.join();
}

}  // namespace platform
