#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// Process-wide settings, initialised before main runs.
// portRangeStart and sslCertificatePath are written only by the run loop's
// thread (through loadConfig) before the server starts; stopRequested is
// the one value shared between threads.

// Service name and display name; printed in command results.
extern const char* const serviceName;
// First port of the ten-port listening range (SERVER_PORT_START).
extern std::int32_t portRangeStart;
// Host part of every listening address.
extern const char* const listenHost;
// Only its existence decides whether HTTPS is offered (SERVER_SSL_CERTICICATE).
extern std::string sslCertificatePath;
// Stop flag of the run loop: set by a stop requester, cleared by the run loop
// once the server is closed (the acknowledgement).
extern std::atomic<bool> stopRequested;

// The initial values, for code that must fall back to them.
constexpr std::int32_t kDefaultPortRangeStart = 11100;
constexpr const char* kDefaultSslCertificatePath = "./ssl_localhost.pem";
