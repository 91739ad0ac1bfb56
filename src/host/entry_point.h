#pragma once

#include "platform/clock.h"

// The program's entry: fixes the time zone, prepares the device
// configuration, moves to the executable's directory, then runs as a
// service (no argument), in the foreground ("-console"), or performs one
// service command and exits. Returns the process exit code.
int runEntryPoint(int argc, char** argv);

// The service-command part of the command line (argv[1] is not "-console"):
// runs the command, prints its success line or the usage text, applies the
// closing wait (through `sleep`, in milliseconds) and "/ie". Returns the
// exit code.
int runServiceCommand(int argc, char** argv, void (*sleep)(unsigned) = platform::sleepMs);
