#include "config/load_config.h"

#include <cstdio>

#include "config/ini_file.h"

namespace {

constexpr int kHighestPort = 65535;

// Compared without adding to `start`, which may be as large as an int gets.
bool isUsablePortStart(int start) {
    return start >= 1 && start <= kHighestPort - (kPortRangeLength - 1);
}

}  // namespace

int loadConfig(ServerSettings& settings) {
    IniFile ini;
    if (!ini.load(kConfigPath)) {
        return 1;
    }
    // Read before anything can fail: a restriction is never dropped silently.
    settings.allowedOrigins = parseAllowedOrigins(ini.getString("ALLOWED_ORIGINS"));
    const int start = ini.getInt("SERVER_PORT_START");
    if (!isUsablePortStart(start)) {
        std::printf("Server port start is not configured in config.ini\n");
        std::fflush(stdout);
        settings.portRangeStart = ServerSettings().portRangeStart;
        return 1;
    }
    settings.portRangeStart = start;
    settings.sslCertificatePath = ini.getString("SERVER_SSL_CERTICICATE");
    return 0;
}
