#include <stdlib.h>
#include <time.h>

#include "platform/timezone.h"

namespace platform {

bool setTimeZone(const char* assignment) {
    if (::putenv(const_cast<char*>(assignment)) != 0) {
        return false;
    }
    ::tzset();
    return true;
}

}  // namespace platform
