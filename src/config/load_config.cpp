#include "config/load_config.h"

#include <cstdio>

#include "config/ini_file.h"
#include "platform/files.h"
#include "platform/process_paths.h"

std::string unreadableConfigLine(const std::string& folder, const std::string& reason) {
    return "config.ini in " + folder +
           " cannot be read, so every request that carries an Origin is refused: " + reason;
}

int loadConfig(ServerSettings& settings, ConfigLoad* load) {
    ConfigLoad unused;
    ConfigLoad& outcome = load != nullptr ? *load : unused;
    outcome = ConfigLoad();
    std::string contents;
    std::string reason;
    const platform::FileRead read = platform::readWholeFile(kConfigPath, contents, reason);
    if (read == platform::FileRead::kMissing) {
        return 1;
    }
    if (read == platform::FileRead::kUnreadable) {
        outcome.file = ConfigFile::kUnreadable;
        outcome.unreadableLine = unreadableConfigLine(platform::currentDirectory(), reason);
        settings.allowedOrigins = noOriginAllowed();
        return 1;
    }
    outcome.file = ConfigFile::kRead;
    IniFile ini;
    ini.loadText(contents);
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
