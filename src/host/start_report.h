#pragma once

#include <string>
#include <vector>

#include "config/server_settings.h"

// The details of the "started" event: where the server listens (with a
// certificate the first port is the HTTPS one), whether HTTPS is offered and
// why, the device model and the allowed origins in force. One line each.
std::string startedText(const ServerSettings& settings, const std::vector<int>& ports,
                        const std::string& deviceModel);

// Reports (TlsKeyReadable) when users other than SYSTEM and the
// Administrators may read the TLS key beside the executable: an install
// limits its access, a key added later keeps whatever it was given.
void reportReadableKey();
