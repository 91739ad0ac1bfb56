#include <io.h>

#include <csignal>
#include <cstdio>

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

}  // namespace platform
