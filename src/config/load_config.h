#pragma once

#include "config/server_settings.h"

// Copies SERVER_PORT_START and SERVER_SSL_CERTICICATE from ./config.ini (the
// working directory) into `settings`.
//
// Returns 0 when both were read. Returns 1, silently, when the file cannot
// be opened; `settings` keeps its values then. Returns 1 after printing
// "Server port start is not configured in config.ini\n" when the port start
// is missing, below 1, or too high for a range of ten ports; the port start
// is then the default and the certificate path is left alone.
int loadConfig(ServerSettings& settings);
