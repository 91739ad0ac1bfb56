#pragma once

#include <string>

struct mg_connection;

// Cross-origin header lines of the simulated device, each ending in CRLF, so
// that a web page can call it the way it calls a real RD service.

// On every answer: the caller's Origin echoed (or "*" without one) and the
// RD verbs as the allowed methods.
std::string simCorsHeaderLines(mg_connection* conn);

// On a preflight answer, after those: the requested headers echoed, and the
// private-network grant when the preflight asks for it.
std::string simPreflightHeaderLines(mg_connection* conn);
