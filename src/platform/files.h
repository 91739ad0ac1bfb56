#pragma once

#include <string>

// Files and folders by path.
namespace platform {

bool fileExists(const std::string& path);

// Renames `from` to `to`, replacing a file that `to` already names.
bool replaceFile(const std::string& from, const std::string& to);

// Creates one folder; true when it was created or already exists.
bool createDirectory(const std::string& path);

// How a whole-file read ended.
enum class FileRead { kRead, kMissing, kUnreadable };

// Reads the whole file at `path` into `contents`. kMissing when nothing of
// that name exists. kUnreadable when it exists but cannot be opened or read
// to its end (a folder, no permission, held open by another process without
// sharing); `reason` then holds the system's words for why.
FileRead readWholeFile(const std::string& path, std::string& contents, std::string& reason);

}  // namespace platform
