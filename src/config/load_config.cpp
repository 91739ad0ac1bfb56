#include "config/load_config.h"

#include <cstdio>

#include "config/ini_file.h"

int loadConfig(ServerSettings& settings) {
    IniFile ini;
    if (!ini.load(kConfigPath)) {
        return 1;
    }
    // Read before anything can fail: a restriction is never dropped silently.
    settings.allowedOrigins = parseAllowedOrigins(ini.getString(kAllowedOriginsKey));
    const int start = ini.getInt(kPortStartKey);
    if (!isUsablePortStart(start)) {
        std::printf("Server port start is not configured in config.ini\n");
        std::fflush(stdout);
        settings.portRangeStart = ServerSettings().portRangeStart;
        return 1;
    }
    settings.portRangeStart = start;
    settings.sslCertificatePath = ini.getString(kCertificateKey);
    return 0;
}
