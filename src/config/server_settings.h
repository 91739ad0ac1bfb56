#pragma once

#include <cstdint>
#include <string>

#include "config/allowed_origins.h"
#include "protocol/rd_protocol.h"

// The settings config.ini gives the server, as a value the run loop reads
// and hands to the server start-up.
struct ServerSettings {
    // First port of the listening range (SERVER_PORT_START).
    std::int32_t portRangeStart = upstreamFirstPort;
    // Only its existence decides whether HTTPS is offered (SERVER_SSL_CERTICICATE).
    std::string sslCertificatePath = kCertificatePath;
    // Who may call (ALLOWED_ORIGINS); unrestricted by default.
    AllowedOrigins allowedOrigins;
};

// The server listens on the first usable ports of this many from the start.
constexpr int kPortRangeLength = 10;

// The last port of the listening range that starts at `start`.
constexpr int lastPortOfRange(int start) { return start + kPortRangeLength - 1; }

// True when a whole range from `start` fits the port numbers. Compared
// without adding to `start`, which may be as large as an int gets.
constexpr bool isUsablePortStart(int start) {
    return start >= 1 && start <= 65535 - (kPortRangeLength - 1);
}

// The keys of config.ini.
constexpr const char* kPortStartKey = "SERVER_PORT_START";
constexpr const char* kCertificateKey = "SERVER_SSL_CERTICICATE";
constexpr const char* kAllowedOriginsKey = "ALLOWED_ORIGINS";
