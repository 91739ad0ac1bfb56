#pragma once

#include <atomic>

// Reads config.ini, starts the server on the configured range with the RD
// handler on "/", and sleeps in steps of one second until `stopFlag` is set.
// Then prints "Bye!", closes the server and clears `stopFlag` (the
// acknowledgement a stop requester waits for). Returns 0 after a requested
// stop, 1 when no server could be started.
int runLoop(std::atomic<bool>& stopFlag);

// Foreground mode: installs the signal handlers and runs the run loop on
// stopRequested. Returns the run loop's result, or 1 when an exception ended it.
int runConsole();

// Installs onSignal for interrupt, illegal instruction, floating-point error
// and termination, each for one delivery.
void installSignalHandlers();

// Prints "Caught signal <n>" and requests a stop. Async-signal-safe.
void onSignal(int signalNumber);
