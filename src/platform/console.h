#pragma once

#include <cstddef>
#include <string>

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

// Service mode: a Windows service has no standard output, so everything the
// program prints from now on also goes, a line at a time with a timestamp,
// to the bounded log at `logPath` (platform/rotating_log.h). Elsewhere the
// service manager keeps standard output already (systemd's journal): does
// nothing and returns false. True when the copy runs.
bool copyStdoutToLog(const std::string& logPath);
// Ends the copy: standard output goes nowhere from now on, and every line
// printed before is in the log when this returns. Call it before the
// service reports that it stopped (the process may end right after).
void finishStdoutCopy();

}  // namespace platform
