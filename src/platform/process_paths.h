#pragma once

#include <string>

// Where the process runs from: its executable and its working directory.
namespace platform {

// Full path of the running executable, empty when it cannot be read.
std::string executablePath();

// Current working directory, empty when it cannot be read.
std::string currentDirectory();

// Returns true when the working directory was changed.
bool changeDirectory(const std::string& path);

}  // namespace platform
