#pragma once

#include <string>

#include "config/server_settings.h"

// Where the settings are read, relative to the working directory.
constexpr const char* kConfigPath = "./config.ini";

// How config.ini was found.
enum class ConfigFile { kRead, kMissing, kUnreadable };

struct ConfigLoad {
    ConfigFile file = ConfigFile::kMissing;
    // When kUnreadable: the one line (no line feed) that says so, naming the
    // file and the system's reason; the caller prints or reports it.
    std::string unreadableLine;
};

// Copies SERVER_PORT_START, SERVER_SSL_CERTICICATE and ALLOWED_ORIGINS from
// ./config.ini (the working directory) into `settings`. ALLOWED_ORIGINS is
// taken whenever the file can be read, also when the port start fails.
//
// Returns 0 when both were read. Returns 1, silently, when the file does not
// exist or cannot be read; `settings` keeps its values then, except that a
// file that exists but cannot be read admits no Origin at all: a restriction
// it may hold is never dropped silently. Returns 1 after printing
// "Server port start is not configured in config.ini\n" when the port start
// is missing, below 1, or too high for a range of ten ports; the port start
// is then the default and the certificate path is left alone. `load`, when
// given, tells which of these it was.
int loadConfig(ServerSettings& settings, ConfigLoad* load = nullptr);

// The line that says config.ini in `folder` exists but cannot be read, with
// the system's `reason`.
std::string unreadableConfigLine(const std::string& folder, const std::string& reason);
