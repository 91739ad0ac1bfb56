#pragma once

#include <cstdio>
#include <memory>

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

}  // namespace platform
