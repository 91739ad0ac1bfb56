#pragma once

#include <string>

#include "platform/path_access.h"

// Whether the program may read and write DeviceConfig.xml: the folder and the
// file (when it exists) must be owned by SYSTEM, the Administrators or the
// account the program runs as (for the service that is SYSTEM), and neither
// may be a link or junction. Otherwise a user who created the folder first,
// or swapped the file for a link, would choose the device model of a service
// that runs as LocalSystem, or the file it truncates.
// Returns the empty text when trusted, else the reason as a short phrase.
std::string distrustReason(const platform::PathFacts& folder, const platform::PathFacts& file);
