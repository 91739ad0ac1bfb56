#include "config/load_config.h"

#include <cstdio>

#include "config/ini_file.h"
#include "host/program_settings.h"

namespace {

constexpr const char* kConfigPath = "./config.ini";
// The server listens on the start port and the nine after it.
constexpr int kPortRangeSpan = 9;
constexpr int kHighestPort = 65535;

bool isUsablePortStart(int start) { return start >= 1 && start <= kHighestPort - kPortRangeSpan; }

}  // namespace

int loadConfig() {
    IniFile ini;
    if (!ini.load(kConfigPath)) {
        return 1;
    }
    const int start = ini.getInt("SERVER_PORT_START");
    if (!isUsablePortStart(start)) {
        std::printf("Server port start is not configured in config.ini\n");
        std::fflush(stdout);
        portRangeStart = kDefaultPortRangeStart;
        return 1;
    }
    portRangeStart = start;
    sslCertificatePath = ini.getString("SERVER_SSL_CERTICICATE");
    return 0;
}
