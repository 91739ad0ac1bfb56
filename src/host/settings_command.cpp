#include "host/settings_command.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include "config/ini_update.h"
#include "config/load_config.h"
#include "config/server_settings.h"
#include "platform/files.h"
#include "text/text_helpers.h"

namespace {

constexpr const char* kTemporaryPath = "./config.ini.new";

enum class ValueKind { PortStart, Text };

struct InstallerSetting {
    const char* key;
    ValueKind kind;
};

const InstallerSetting kInstallerSettings[] = {
    {kPortStartKey, ValueKind::PortStart},
    {kCertificateKey, ValueKind::Text},
    {kAllowedOriginsKey, ValueKind::Text},
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
    if ((setting->kind == ValueKind::PortStart && !isUsablePortStartText(value)) ||
        !setIniValue(contents, setting->key, value)) {
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
