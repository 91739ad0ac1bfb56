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

// std::fopen with an owner; an empty handle when the file cannot be opened or
// `path` is null.
inline FileHandle openFile(const char* path, const char* mode) {
    return FileHandle(path != nullptr ? std::fopen(path, mode) : nullptr);
}

}  // namespace platform
