#pragma once

#include <string>

// Command-line options of the simulated RD device service.
struct SimOptions {
    int port = 0;          // 0: the first free port from 11100
    int delayMs = 0;       // added before every answer
    int httpStatus = 200;  // status line of every answer
    bool garbage = false;  // answer bytes that are not XML
    bool hang = false;     // accept requests and never answer
    std::string info;      // discovery info text; empty: the default
    std::string serviceStatus = "READY";
    int captureBytes = 0;  // capture answers padded to this size, as with images
};

// Parses argv; on a bad argument returns false with `error` set.
bool parseSimOptions(int argc, char** argv, SimOptions& options, std::string& error);

extern const char* const kSimUsage;
