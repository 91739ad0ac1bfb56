#include <windows.h>

#include "platform/clock.h"

namespace platform {

void sleepMs(unsigned milliseconds) { ::Sleep(milliseconds); }

std::uint32_t tickCountMs() { return static_cast<std::uint32_t>(::GetTickCount()); }

bool localTime(std::time_t when, std::tm& out) { return ::localtime_s(&out, &when) == 0; }

}  // namespace platform
