#pragma once

#include <memory>

#include "http/civet_server.h"

// Starts the engine on the first usable ports of [firstPort, lastPort] on
// `host` (may be null): with the certificate file of sslCertificatePath
// present, an HTTPS port (the lower) and an HTTP port, otherwise HTTP only.
// Busy ports are skipped; a pair the engine refuses is consumed and the next
// free ports are tried. Prints "Web service hosted at http://<ports>" on
// success; returns null when the range is used up.
std::unique_ptr<CivetServer> startWebServer(const char* host, int firstPort, int lastPort);

// True when a TCP socket cannot be bound to `port` on all local addresses
// right now (also when the socket layer cannot start).
bool isPortInUse(int port);
