#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace platform {

void sleepMs(unsigned milliseconds);

// Millisecond tick counter that wraps at 2^32; take differences modulo 2^32.
std::uint32_t tickCountMs();

// Full path of the running executable, empty when it cannot be read.
std::string executablePath();

// Current working directory, empty when it cannot be read.
std::string currentDirectory();

// Returns true when the working directory was changed.
bool changeDirectory(const std::string& path);

bool fileExists(const std::string& path);

// Renames `from` to `to`, replacing a file that `to` already names.
bool replaceFile(const std::string& from, const std::string& to);

// `when` in the local time zone; false when it cannot be converted.
bool localTime(std::time_t when, std::tm& out);

// Creates one folder; true when it was created or already exists.
bool createDirectory(const std::string& path);

}  // namespace platform
