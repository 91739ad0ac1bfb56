#pragma once

#include <cstdint>

#include "rd/rd_error.h"

struct mg_connection;

// Writes "HTTP/1.1 200 OK" with the fixed RD header block and `length` bytes
// of `data`. A negative length means "the text up to its first NUL" (0 when
// data is null). A null location or origin is written as "(null)".
// `allowHeaders`, when not null, adds an Access-Control-Allow-Headers line
// after the Allow-Methods line (cross-origin preflight answers only).
// Returns true when the header block and the whole body were written.
bool writeRdResponse(mg_connection* conn, const char* location, const char* data,
                     std::int64_t length, const char* allowHeaders = nullptr);

// Sends the PidData document for `error` with writeRdResponse.
bool writePidDataError(mg_connection* conn, const char* location, RDSWrapperError error);

// The origin echoed to the caller: a specific Access-Control-Allow-Origin
// request header wins, otherwise the Origin header (null when absent).
const char* chooseOrigin(mg_connection* conn);
