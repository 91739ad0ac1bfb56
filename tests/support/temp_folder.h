#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with its
// contents when destroyed.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes `bytes` unchanged (binary) to `name` inside the folder; returns its path.
    std::string write(const std::string& name, const std::string& bytes) const;
    // Writes `bytes` unchanged (binary) to the file at `path`.
    static void writeFile(const std::string& path, const std::string& bytes);
    // The bytes of `name` inside the folder; empty when it cannot be read.
    std::string read(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

// Changes the working directory for one scope.
class ScopedWorkingDirectory {
  public:
    explicit ScopedWorkingDirectory(const std::filesystem::path& path);
    ~ScopedWorkingDirectory();
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

  private:
    std::filesystem::path previous_;
};

}  // namespace testing_support
