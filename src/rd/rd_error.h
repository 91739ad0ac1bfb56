#pragma once

#include <cstdint>

// An RD error code with its fixed name, reported as errCode/errInfo in a
// PidData document. A small value type, copied whole.
class RDSWrapperError {
  public:
    static constexpr std::int32_t FAILED = 1;
    static constexpr std::int32_t UNSUPPORTED = 2;
    static constexpr std::int32_t INVALID_PARAMETER = 3;
    static constexpr std::int32_t INVALID_DATA = 4;
    static constexpr std::int32_t RDSERVICE_NOT_AVAILABLE = 5;

    explicit RDSWrapperError(std::int32_t code) : code_(code) {}

    std::int32_t errorCode() const { return code_; }
    // The code's name; for a code outside the table "RDSWrapper error: <code>",
    // formatted into this value's own buffer (valid while the value lives).
    const char* errorInfo();

  private:
    std::int32_t code_;
    char text_[128] = {};
};
