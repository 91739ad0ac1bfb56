// The wake-up channel of StopEvent on Windows: an auto-reset event. The C
// runtime runs signal handlers on a thread of their own, so SetEvent is safe.
#include <windows.h>

#include "platform/stop_event.h"

namespace platform {

void StopEvent::openWakeup() {
    wakeup_[0] = reinterpret_cast<std::intptr_t>(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
}

void StopEvent::closeWakeup() {
    if (wakeup_[0] != 0) {
        ::CloseHandle(reinterpret_cast<HANDLE>(wakeup_[0]));
    }
}

void StopEvent::notifyWakeup() {
    if (wakeup_[0] != 0) {
        ::SetEvent(reinterpret_cast<HANDLE>(wakeup_[0]));
    }
}

bool StopEvent::waitWakeup(int timeoutMs) {
    const DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    return wakeup_[0] != 0 &&
           ::WaitForSingleObject(reinterpret_cast<HANDLE>(wakeup_[0]), limit) == WAIT_OBJECT_0;
}

}  // namespace platform
