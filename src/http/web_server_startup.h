#pragma once

#include <memory>
#include <string>

#include "http/civet_server.h"
#include "limits/service_limits.h"
#include "protocol/rd_protocol.h"

// The program's engine error log, in the working directory (the program's
// own folder), capped like every log.
constexpr const char* kEngineErrorLogName = "rdserver_ext_error.log";

// Starts the engine on the first usable ports of [firstPort, lastPort] on
// `host` (may be null), logging the engine's messages to `errorLogPath`
// (servers that name the same file share one writer): with the file
// `sslCertificatePath` present, an HTTPS port (the lower) and an HTTP port,
// otherwise HTTP only. Busy ports are skipped; a pair the engine refuses is
// consumed and the next free ports are tried. When TLS itself fails (the
// certificate cannot be loaded, TLS is unavailable) it says so in one line and
// serves plain HTTP on the range. Prints "Web service hosted at
// http://<ports>" on success; returns null when the range is used up, with
// the engine's last reason in `failureReason` (empty when it never tried).
// The engine's workers, request time-out, body cap and registration wait
// come from `limits`.
std::unique_ptr<CivetServer> startWebServer(const char* host, int firstPort, int lastPort,
                                            const std::string& sslCertificatePath,
                                            const std::string& errorLogPath,
                                            const ServiceLimits& limits,
                                            std::string* failureReason = nullptr);

// True when a TCP socket cannot be bound to `port` on all local addresses
// right now (also when the socket layer cannot start).
bool isPortInUse(int port);
