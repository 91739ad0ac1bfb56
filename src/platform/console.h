#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/stop_event.h"

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

// Foreground mode on Windows, where a console is more than a signal source:
// - Ctrl-Break, closing the console window, logoff and shutdown reach
//   `onStop` as Ctrl-C does (with the numbers of SIGBREAK and SIGTERM), and
//   for the last three, after which Windows ends the process, the handler
//   waits for `stop` to be acknowledged so the server closes cleanly;
// - QuickEdit is switched off for the console while the run lasts (a
//   selection in the window would otherwise block every write to it, and
//   with the runtime's lock every request that prints), until
//   restoreConsole. Elsewhere signals do all of this: both do nothing.
void takeOverConsole(void (*onStop)(int), StopEvent& stop);
void restoreConsole();

// Service mode: a Windows service has no standard output, so everything the
// program prints from now on is handed to `writeLine`, a line at a time
// without its line end, on a thread of the copy's own. Elsewhere the service
// manager keeps standard output already (systemd's journal): does nothing
// and returns false. True when the copy runs.
bool copyStdoutToLog(std::function<void(const std::string& line)> writeLine);
// Ends the copy: standard output goes nowhere from now on, and every line
// printed before is in the log when this returns. Call it before the
// service reports that it stopped (the process may end right after).
void finishStdoutCopy();

}  // namespace platform
