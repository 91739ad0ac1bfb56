#pragma once

#include <cstddef>

namespace platform {

// Makes standard output flush every line (unbuffered where the C runtime has
// no line buffering), so lines written from a signal handler with
// writeStdoutSignalSafe keep their order with printf output.
void prepareStdout();

// Writes bytes to standard output with an async-signal-safe call.
void writeStdoutSignalSafe(const char* text, std::size_t length);

// Installs `handler` for `signalNumber` for one delivery only: a second
// signal of the same kind gets the platform's default action.
void installOneShotSignalHandler(int signalNumber, void (*handler)(int));

}  // namespace platform
