#pragma once

#include <cstdint>

namespace platform {

// Service states and controls, with the Windows values on every platform.
constexpr std::uint32_t kServiceStopped = 1;
constexpr std::uint32_t kServiceStartPending = 2;
constexpr std::uint32_t kServiceStopPending = 3;
constexpr std::uint32_t kServiceRunning = 4;
// The one control a service accepts here, and the bit that says so.
constexpr std::uint32_t kServiceControlStop = 1;
constexpr std::uint32_t kServiceAcceptStop = 1;
// The service type reported: the own-process and share-process bits.
constexpr std::uint32_t kServiceWin32Type = 0x30;

}  // namespace platform
