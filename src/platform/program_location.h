#pragma once

#include <string>

// Whether the program lies where only the machine's administrators may
// change it: a service that runs as LocalSystem or root runs whatever file
// its registration names, so whoever may replace that file, or rename its
// folder, runs code with the service's rights.
namespace platform {

// The path others may change (the executable, its folder or, on Linux, a
// folder above it; platform/change_rights.h says by which rules), or empty
// when none. A path whose owner or access cannot be read counts as
// changeable: the program is never wrongly trusted.
std::string changeablePartOfProgram(const std::string& executable);

// Where an administrator should put the program instead, as a phrase:
// "C:\Program Files" on Windows, "/usr/local or /opt" on Linux.
extern const char* const kTrustedProgramFolders;

}  // namespace platform
