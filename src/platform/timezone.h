#pragma once

namespace platform {

// Puts `assignment` ("TZ=...") into the process environment and re-reads the
// time-zone state. The text must stay alive for the life of the process.
// Returns false when the environment could not be changed.
bool setTimeZone(const char* assignment);

}  // namespace platform
