#pragma once

#include "config/server_settings.h"

// Where the settings are read, relative to the working directory.
constexpr const char* kConfigPath = "./config.ini";

// Copies SERVER_PORT_START, SERVER_SSL_CERTICICATE and ALLOWED_ORIGINS from
// ./config.ini (the working directory) into `settings`. ALLOWED_ORIGINS is
// taken whenever the file can be read, also when the port start fails.
//
// Returns 0 when both were read. Returns 1, silently, when the file cannot
// be opened; `settings` keeps its values then. Returns 1 after printing
// "Server port start is not configured in config.ini\n" when the port start
// is missing, below 1, or too high for a range of ten ports; the port start
// is then the default and the certificate path is left alone.
int loadConfig(ServerSettings& settings);
