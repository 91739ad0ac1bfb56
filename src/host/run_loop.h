#pragma once

#include <functional>
#include <string>
#include <vector>

#include "config/server_settings.h"
#include "http/web_server_startup.h"
#include "platform/stop_event.h"
#include "rd/forwarding.h"

// Where the run loop keeps its files, and whom it tells that it serves.
struct RunLoopOptions {
    // How requests go upstream: where DeviceConfig.xml is, which ports are
    // probed, and the limits, with which the engine is started too.
    ForwardingOptions forwarding;
    // The settings in force where config.ini gives none (missing or unreadable).
    ServerSettings defaults;
    // The engine's error log; a relative path is taken from the working directory.
    std::string engineLogPath = kEngineErrorLogName;
    // Called once, on the run loop's thread, when the RD handler is registered,
    // with the listening ports: from then on requests are answered.
    std::function<void(const std::vector<int>& ports)> onReady;
};

// Reads config.ini, starts the server on the configured range with the RD
// handler on "/", and waits until a stop is requested on `stop`. Then prints
// "Bye!", ends the upstream transfers in flight, closes the server and
// acknowledges the stop. Returns 0 after a requested stop, 1 when no server
// could be started (after the engine's reason, when it gave one, and the
// failure line). A config.ini that exists but cannot be read is said in one
// line; every request that carries an Origin is then refused.
int runLoop(platform::StopEvent& stop, const RunLoopOptions& options = RunLoopOptions());

// Foreground mode: installs the signal handlers and runs the run loop on
// stopRequested. Returns the run loop's result, or 1 when an exception ended it.
int runConsole();

// Installs onSignal for interrupt, illegal instruction, floating-point error
// and termination, each for one delivery.
void installSignalHandlers();

// Prints "Caught signal <n>" and requests a stop. Async-signal-safe.
void onSignal(int signalNumber);
