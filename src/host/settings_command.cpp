#include "host/settings_command.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include "config/allowed_origins.h"
#include "config/ini_update.h"
#include "config/load_config.h"
#include "config/server_settings.h"
#include "text/escaped_text.h"
#include "platform/files.h"
#include "text/text_helpers.h"

namespace {

constexpr const char* kTemporaryPath = "./config.ini.new";

enum class ValueKind { PortStart, CertificatePath, OriginList };

struct InstallerSetting {
    const char* key;
    ValueKind kind;
};

const InstallerSetting kInstallerSettings[] = {
    {kPortStartKey, ValueKind::PortStart},
    {kCertificateKey, ValueKind::CertificatePath},
    {kAllowedOriginsKey, ValueKind::OriginList},
};

const InstallerSetting* findSetting(const std::string& key) {
    for (const InstallerSetting& setting : kInstallerSettings) {
        if (key == setting.key) {
            return &setting;
        }
    }
    return nullptr;
}

// The service refuses a range start it cannot use; refusing it here makes
// the install fail instead of a service that will not start.
bool isUsablePortStartText(const std::string& value) {
    std::uint64_t port = 0;
    return value.size() <= 5 && text::parseDecimal(value, std::numeric_limits<int>::max(), port) &&
           isUsablePortStart(static_cast<int>(port));
}

bool isPathSeparator(char c) { return c == '\\' || c == '/'; }

// The names Windows opens as a device in any folder (CON, NUL.pem, COM1...).
bool isDeviceName(const std::string& path) {
    static const char* const kDevices[] = {"con", "prn", "aux", "nul"};
    static const char* const kNumbered[] = {"com", "lpt"};
    std::size_t start = path.find_last_of("\\/:");
    start = start == std::string::npos ? 0 : start + 1;
    const std::string base = text::lowerCase(path.substr(start, path.find('.', start) - start));
    for (const char* device : kDevices) {
        if (base == device) return true;
    }
    for (const char* device : kNumbered) {
        if (base.size() == 4 && base.compare(0, 3, device) == 0 && base[3] >= '1' &&
            base[3] <= '9') {
            return true;
        }
    }
    return false;
}

// The service, as the system, looks the certificate up at every start: only
// a file of this machine, named the same whatever the current folder of a
// drive. Refused: \\server\share and //server (the machine account would go
// out to the network), \\?\, \\.\ and \??\ (device and object names), a
// device name, and C:name (relative to a drive's current folder).
const char* refusedPathReason(const std::string& path) {
    if (path.size() >= 2 && isPathSeparator(path[0]) && isPathSeparator(path[1])) {
        return "a network or device path";
    }
    if (path.size() >= 4 && isPathSeparator(path[0]) && path.compare(1, 2, "??") == 0 &&
        isPathSeparator(path[3])) {
        return "a device path";
    }
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
        (path.size() == 2 || !isPathSeparator(path[2]))) {
        return "relative to a drive's current folder";
    }
    if (isDeviceName(path)) {
        return "a device name";
    }
    return nullptr;
}

// An entry the service would ignore admits nothing: the list would not say
// what the administrator meant.
bool acceptsOriginList(const std::string& value) {
    const AllowedOrigins allowed = parseAllowedOrigins(value);
    if (allowed.invalidEntries.empty()) return true;
    std::string entries;
    for (const std::string& entry : allowed.invalidEntries) {
        entries += " " + text::escapeControlBytes(entry);
    }
    std::printf(
        "Cannot write %s into config.ini: entries the service would ignore (not "
        "scheme://host[:port]):%s\n",
        kAllowedOriginsKey, entries.c_str());
    return false;
}

bool acceptsCertificatePath(const std::string& value) {
    const char* reason = refusedPathReason(value);
    if (reason == nullptr) return true;
    std::printf(
        "Cannot write %s into config.ini: %s is %s; give a path on this computer, "
        "such as C:\\certs\\x.pem or one relative to the program folder\n",
        kCertificateKey, text::escapeControlBytes(value).c_str(), reason);
    return false;
}

// False after saying why when `value` is not one the service would use as given.
bool acceptsValue(const InstallerSetting& setting, const std::string& value) {
    switch (setting.kind) {
        case ValueKind::PortStart:
            if (isUsablePortStartText(value)) return true;
            break;
        case ValueKind::CertificatePath:
            return acceptsCertificatePath(value);
        case ValueKind::OriginList:
            return acceptsOriginList(value);
    }
    std::printf("Cannot write %s into config.ini: %s\n", setting.key, value.c_str());
    return false;
}

bool readFile(const char* path, std::string& contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Writes beside the file and renames over it, so the file is never half written.
bool replaceContents(const std::string& contents) {
    {
        std::ofstream out(kTemporaryPath, std::ios::binary | std::ios::trunc);
        out << contents;
        out.close();
        if (!out) {
            std::remove(kTemporaryPath);
            return false;
        }
    }
    if (!platform::replaceFile(kTemporaryPath, kConfigPath)) {
        std::remove(kTemporaryPath);
        return false;
    }
    return true;
}

// Applies one KEY=VALUE word to `contents`; false (after saying why) when refused.
bool applySetting(const std::string& word, std::string& contents, bool& changed) {
    const std::size_t equals = word.find('=');
    const InstallerSetting* setting =
        equals == std::string::npos ? nullptr : findSetting(word.substr(0, equals));
    if (setting == nullptr) {
        std::printf("Not a setting the installer writes: %s\n", word.c_str());
        return false;
    }
    const std::string value = word.substr(equals + 1);
    if (value.empty()) {
        return true;  // the property was not given
    }
    if (!acceptsValue(*setting, value)) {
        return false;
    }
    if (!setIniValue(contents, setting->key, value)) {
        std::printf("Cannot write %s into config.ini: %s\n", setting->key, value.c_str());
        return false;
    }
    std::printf("%s set in config.ini\n", setting->key);
    changed = true;
    return true;
}

}  // namespace

int runWriteSettings(int count, char** arguments) {
    std::string contents;
    if (!readFile(kConfigPath, contents)) {
        if (platform::fileExists(kConfigPath)) {
            std::printf("Cannot read config.ini\n");
            std::fflush(stdout);
            return 1;
        }
        contents.clear();  // a missing file gets the given settings only
    }
    bool changed = false;
    for (int i = 0; i < count; ++i) {
        if (!applySetting(arguments[i], contents, changed)) {
            std::fflush(stdout);
            return 1;
        }
    }
    if (changed && !replaceContents(contents)) {
        std::printf("Cannot write config.ini\n");
        std::fflush(stdout);
        return 1;
    }
    std::fflush(stdout);
    return 0;
}
