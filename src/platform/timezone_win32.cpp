#include <stdlib.h>
#include <time.h>

#include "platform/timezone.h"

namespace platform {

bool setTimeZone(const char* assignment) {
    if (::_putenv(assignment) != 0) {
        return false;
    }
    ::_tzset();
    return true;
}

}  // namespace platform
