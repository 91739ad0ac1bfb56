#include "config/load_config.h"

#include "config/ini_file.h"
#include "events/event_reporter.h"

int loadConfig(ServerSettings& settings) {
    IniFile ini;
    if (!ini.load(kConfigPath)) {
        return 1;
    }
    // Read before anything can fail: a restriction is never dropped silently.
    settings.allowedOrigins = parseAllowedOrigins(ini.getString(kAllowedOriginsKey));
    const int start = ini.getInt(kPortStartKey);
    if (!isUsablePortStart(start)) {
        reportEvent(EventId::kPortStartNotConfigured,
                    "Server port start is not configured in config.ini");
        settings.portRangeStart = ServerSettings().portRangeStart;
        return 1;
    }
    settings.portRangeStart = start;
    settings.sslCertificatePath = ini.getString(kCertificateKey);
    return 0;
}
