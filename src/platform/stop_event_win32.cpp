// The wake-up channel of StopEvent on Windows: an auto-reset event. The C
// runtime runs signal handlers on a thread of their own, so SetEvent is safe.
#include <windows.h>

#include "platform/stop_event.h"

namespace platform {

// Null when the event could not be made: a stop is then seen only by
// requested().
struct StopEvent::Wakeup {
    HANDLE event = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);

    ~Wakeup() {
        if (event != nullptr) ::CloseHandle(event);
    }
};

StopEvent::StopEvent() : wakeup_(new Wakeup) {}

StopEvent::~StopEvent() = default;

void StopEvent::notifyWakeup() {
    if (wakeup_->event != nullptr) {
        ::SetEvent(wakeup_->event);
    }
}

bool StopEvent::waitWakeup(int timeoutMs) {
    const DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    return wakeup_->event != nullptr &&
           ::WaitForSingleObject(wakeup_->event, limit) == WAIT_OBJECT_0;
}

}  // namespace platform
