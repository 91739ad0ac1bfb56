#pragma once

#include <string>

namespace text {

// `text` with every control byte (below 0x20, and 0x7F) written as \xHH, so
// bytes from a client can neither break a line nor drive a terminal.
std::string escapeControlBytes(const std::string& text);

}  // namespace text
