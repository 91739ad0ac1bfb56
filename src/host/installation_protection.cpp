#include "host/installation_protection.h"

#include <cstdio>

#include "config/device_model.h"
#include "host/program_settings.h"
#include "host/service_control.h"
#include "platform/path_access.h"
#include "protocol/rd_protocol.h"

namespace {

bool failedStep(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    return false;
}

bool protectDataFolder(const DataDirectory& data) {
    const std::string& folder = data.path();
    if (platform::inspectPath(folder).isLink) {
        return failedStep(folder + " is a link or junction: remove it, then install again");
    }
    if (!platform::createProtectedDirectory(folder) ||
        !platform::protectPath(folder, platform::Protection::kAdministeredFolder)) {
        return failedStep(folder + ": its access could not be limited to the Administrators");
    }
    const std::string file = data.filePath(kDeviceConfigFileName);
    const platform::PathFacts facts = platform::inspectPath(file);
    if (facts.exists && !facts.isLink &&
        !platform::protectPath(file, platform::Protection::kAdministeredFile)) {
        return failedStep(file + ": its access could not be limited to the Administrators");
    }
    return true;
}

bool protectKey(const std::string& keyPath) {
    const platform::PathFacts facts = platform::inspectPath(keyPath);
    if (!facts.exists || facts.isLink) return true;
    return platform::protectPath(keyPath, platform::Protection::kPrivateFile) ||
           failedStep(keyPath +
                      ": its access could not be limited to SYSTEM and the "
                      "Administrators");
}

}  // namespace

bool protectInstallation(const DataDirectory& data, const std::string& keyPath) {
    const bool folder = protectDataFolder(data);
    const bool key = protectKey(keyPath);
    return folder && key;
}

int runFinishInstall() {
    const auto manager = platform::makeServiceManager();
    const bool restart = setRestartOnFailure(*manager, serviceName);
    const bool rights = limitServiceRights(*manager, serviceName);
    const bool protectedFiles = protectInstallation(DataDirectory(), kCertificatePath);
    return restart && rights && protectedFiles ? 0 : 1;
}

std::string keyExposureWarning(const std::string& keyPath) {
    const platform::PathFacts facts = platform::inspectPath(keyPath);
    if (!facts.exists || !facts.readableByOthers) return std::string();
    return "Warning: " + keyPath +
           " holds the TLS private key and users other than SYSTEM and the Administrators "
           "may read it (an install or " +
           kFinishInstallOption + " limits its access)";
}
