#pragma once

#include <cstddef>

// Largest request body the server accepts. A capture body is a PidOptions
// document of a few hundred bytes; nothing a device accepts comes near this.
// A larger body is refused whole, before any of it is buffered.
constexpr std::size_t kMaxRequestBodyBytes = 1024 * 1024;
