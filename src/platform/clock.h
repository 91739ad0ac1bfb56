#pragma once

#include <cstdint>
#include <ctime>

// The process's clock: waiting, a tick counter and the local time.
namespace platform {

void sleepMs(unsigned milliseconds);

// Millisecond tick counter that wraps at 2^32; take differences modulo 2^32.
std::uint32_t tickCountMs();

// `when` in the local time zone; false when it cannot be converted.
bool localTime(std::time_t when, std::tm& out);

}  // namespace platform
