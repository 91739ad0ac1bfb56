#pragma once

#include "platform/stop_event.h"

// Process-wide facts of the program. The settings config.ini gives travel as
// a value (config/server_settings.h); the stop request is the one state
// shared between threads, and process-wide because signals reach it.

// Service name and display name; printed in command results.
extern const char* const serviceName;
// Host part of every listening address.
extern const char* const listenHost;
// The run loop's stop: requested by a signal or the service's stop control,
// acknowledged by the run loop once the server is closed.
extern platform::StopEvent stopRequested;
