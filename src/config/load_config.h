#pragma once

// Copies SERVER_PORT_START and SERVER_SSL_CERTICICATE from ./config.ini (the
// working directory) into portRangeStart and sslCertificatePath. Call from
// the run loop's thread before the server starts.
//
// Returns 0 when both were read. Returns 1, silently, when the file cannot
// be opened; both settings keep their values then. Returns 1 after printing
// "Server port start is not configured in config.ini\n" when the port start
// is missing, below 1, or too high for a range of ten ports; portRangeStart
// is then kDefaultPortRangeStart and sslCertificatePath is left alone.
int loadConfig();
