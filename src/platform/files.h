#pragma once

#include <string>

// Files and folders by path.
namespace platform {

bool fileExists(const std::string& path);

// Renames `from` to `to`, replacing a file that `to` already names.
bool replaceFile(const std::string& from, const std::string& to);

// Creates one folder; true when it was created or already exists.
bool createDirectory(const std::string& path);

}  // namespace platform
