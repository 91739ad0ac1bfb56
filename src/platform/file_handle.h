#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace platform {

// Closes the file when its owner goes. A caller that must know whether the
// last buffered bytes reached the disk closes it itself:
// `std::fclose(file.release()) == 0`.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The one owner of an open C stream.
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// std::fopen of a UTF-8 path (on Windows through the wide API) with an owner;
// an empty handle when the file cannot be opened or `path` is null.
FileHandle openFile(const char* path, const char* mode);

// Opens a log file for appending, readable only by SYSTEM, the Administrators
// and the file's owner (Linux: mode 0600): logs name every caller's origin.
// A new file is created so; an existing one gets that access in place of its
// own when the caller may change it, and is appended to either way.
FileHandle openPrivateLog(const std::string& path);

}  // namespace platform
