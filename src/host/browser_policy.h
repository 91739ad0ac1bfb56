#pragma once

#include "config/allowed_origins.h"
#include "platform/machine_registry.h"

// The browsers' local-network policy for the origins config.ini allows, so
// that their pages call the service without the browser asking the user.
// Chrome and Edge read numbered values of their machine-wide policy lists;
// each origin the service admits goes in as a URL pattern, in numbers that
// are free, beside the administrator's own values. What was written is
// recorded in the registry, so that only that is ever taken back.
//
// The installer runs both commands as the system, from the program folder.
constexpr const char* kWriteBrowserPolicyOption = "-write-browser-policy";
constexpr const char* kRemoveBrowserPolicyOption = "-remove-browser-policy";

// Takes back what an earlier call wrote, then writes the patterns of
// `allowed`. An entry the browsers' patterns cannot express exactly is left
// out: "*.example.com" admits every subdomain but not example.com, while the
// pattern "[*.]example.com" admits both, so it is written only when the list
// also admits example.com itself (same scheme and port). Prints one
// "Browser policy: " line per list and per entry left out. False when the
// registry refused a change.
bool writeBrowserPolicy(platform::MachineRegistry& registry, const AllowedOrigins& allowed);

// Deletes the recorded values that still hold what was written, then the
// record. False when the registry refused a change.
bool removeBrowserPolicy(platform::MachineRegistry& registry);

// The commands on the system's registry, writing from ./config.ini's
// ALLOWED_ORIGINS as the service reads it. Return the exit code.
int runWriteBrowserPolicy();
int runRemoveBrowserPolicy();
