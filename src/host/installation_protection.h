#pragma once

#include <string>

#include "config/data_directory.h"

// Who may change what the installed service trusts. Run by "-install" and by
// the installer package (kFinishInstallOption), both as an administrator.

// The option with which the installer package has the program finish an
// install: restart on failure and only the rights it needs for the registered
// service, then protectInstallation. Exit code 0 when all of it held.
constexpr const char* kFinishInstallOption = "-finish-install";

// Creates the data folder, or takes an existing one over, with access only
// SYSTEM and the Administrators may change (Users read), owned by the
// Administrators; DeviceConfig.xml in it likewise. Gives the TLS key file
// `keyPath`, when present, access for SYSTEM and the Administrators only.
// A data folder that is a link or junction is left alone (whoever made it
// chose where it leads). Prints one line for each step that failed; true
// when none did.
bool protectInstallation(const DataDirectory& data, const std::string& keyPath);

// "-finish-install": see kFinishInstallOption.
int runFinishInstall();

// The -check line for the key: empty when it is missing or private, else a
// warning that users other than SYSTEM and the Administrators may read it.
std::string keyExposureWarning(const std::string& keyPath);
