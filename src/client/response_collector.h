#pragma once

#include <cstddef>
#include <string>

// Transfer-library callbacks that fill a RestResponse; `target` is the
// RestResponse*. Both accept every byte and return size * count.

// Appends the received bytes to the response body.
std::size_t collectBody(char* data, std::size_t size, std::size_t count, void* target);

// Records one received header line (CR LF included): "Name: value" under
// its name, split at the first colon; a line without a colon, such as the
// status line, as a name with the value "present"; blank lines not at all.
std::size_t collectHeader(char* data, std::size_t size, std::size_t count, void* target);
