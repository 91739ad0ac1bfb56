#include "platform/console.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace platform {

void prepareStdout() { std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ); }

void writeStdoutSignalSafe(const char* text, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, text, length);
        if (n <= 0) {
            return;
        }
        text += n;
        length -= static_cast<std::size_t>(n);
    }
}

void installOneShotSignalHandler(int signalNumber, void (*handler)(int)) {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    ::sigaction(signalNumber, &action, nullptr);
}

void takeOverConsole(void (*)(int), StopEvent&) {}
void restoreConsole() {}

bool copyStdoutToLog(std::function<void(const std::string&)>) { return false; }

void finishStdoutCopy() {}

}  // namespace platform
