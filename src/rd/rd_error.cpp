#include "rd/rd_error.h"

#include <cstdio>

const char* RDSWrapperError::errorInfo() {
    static const char* const kNames[] = {"",
                                         "FAILED",
                                         "UNSUPPORTED",
                                         "INVALID_PARAMETER",
                                         "INVALID_DATA",
                                         "RDSERVICE_NOT_AVAILABLE"};
    if (code_ >= 0 && code_ <= RDSERVICE_NOT_AVAILABLE) {
        return kNames[code_];
    }
    std::snprintf(text_, sizeof text_, "RDSWrapper error: %d", static_cast<int>(code_));
    return text_;
}
