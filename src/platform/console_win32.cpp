#include <windows.h>
// After windows.h.
#include <fcntl.h>
#include <io.h>

#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "platform/console.h"

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

void (*consoleStop)(int) = nullptr;
StopEvent* consoleStopEvent = nullptr;
DWORD savedInputMode = 0;
bool inputModeSaved = false;

// Runs on a thread the system starts for the event.
BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_BREAK_EVENT:
            consoleStop(SIGBREAK);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The process ends as soon as this returns (or a few seconds
            // later at the latest): let the run loop close the server first.
            consoleStop(SIGTERM);
            consoleStopEvent->waitAcknowledged();
            return TRUE;
        default:
            return FALSE;  // Ctrl-C: the runtime's SIGINT handling
    }
}

constexpr unsigned kPipeBytes = 4096;
constexpr int kStdoutFd = 1;

std::mutex copyMutex;
std::thread copier;

// Reads what the program prints and hands it on line by line, until the
// last writer of the pipe has closed it.
void copyLines(int readFd, const std::function<void(const std::string&)>& writeLine) {
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
            writeLine(line);
            pending.erase(0, end + 1);
        }
    }
    ::_close(readFd);
}

// Points standard output at `fd`. A service starts with no standard output
// at all (descriptor -2), and freopen cannot reopen such a stream: the
// stream then takes over a stream opened on the descriptor.
bool pointStdoutAt(int fd) {
    if (::_fileno(stdout) >= 0) {
        return ::_dup2(fd, ::_fileno(stdout)) == 0;
    }
    std::FILE* stream = ::_dup2(fd, kStdoutFd) == 0 ? ::_fdopen(kStdoutFd, "w") : nullptr;
    if (stream == nullptr) {
        return false;
    }
    *stdout = *stream;
    return true;
}

}  // namespace

void takeOverConsole(void (*onStop)(int), StopEvent& stop) {
    consoleStop = onStop;
    consoleStopEvent = &stop;
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input != INVALID_HANDLE_VALUE && ::GetConsoleMode(input, &mode)) {
        savedInputMode = mode;
        inputModeSaved = true;
        ::SetConsoleMode(
            input, (mode & ~static_cast<DWORD>(ENABLE_QUICK_EDIT_MODE)) | ENABLE_EXTENDED_FLAGS);
    }
}

void restoreConsole() {
    if (inputModeSaved) ::SetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), savedInputMode);
    inputModeSaved = false;
}

bool copyStdoutToLog(std::function<void(const std::string& line)> writeLine) {
    int fds[2];
    if (::_pipe(fds, kPipeBytes, _O_BINARY) != 0) {
        return false;
    }
    const bool pointed = pointStdoutAt(fds[1]);
    ::_close(fds[1]);
    if (!pointed) {
        ::_close(fds[0]);
        return false;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::lock_guard<std::mutex> lock(copyMutex);
    copier = std::thread(copyLines, fds[0], std::move(writeLine));
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
    const int nowhere = ::_open("NUL", _O_WRONLY);
    if (nowhere < 0 || ::_dup2(nowhere, ::_fileno(stdout)) != 0) {
        ::_close(::_fileno(stdout));
    }
    if (nowhere >= 0) {
        ::_close(nowhere);
    }
    copier.join();
}

}  // namespace platform
