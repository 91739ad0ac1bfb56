#include "config/data_directory.h"

#include <mutex>

#include "platform/data_folder.h"
#include "platform/process.h"

namespace {

constexpr const char* kFallbackFolder = "C:/ProgramData";
constexpr const char* kDirectoryName = "Lumetra-RD-Service-Wrapper";

std::mutex& testFolderMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& testFolder() {
    static std::string folder;
    return folder;
}

std::string baseFolder() {
    {
        std::lock_guard<std::mutex> lock(testFolderMutex());
        if (!testFolder().empty()) return testFolder();
    }
    return platform::commonAppDataFolder();
}

}  // namespace

DataDirectory::DataDirectory() : DataDirectory(baseFolder()) {}

DataDirectory::DataDirectory(const std::string& folder)
    : path_((folder.empty() ? std::string(kFallbackFolder) : folder) + "/" + kDirectoryName) {
    platform::createDirectory(path_);
}

std::string DataDirectory::filePath(const std::string& fileName) const {
    if (!platform::fileExists(path_) && !platform::createDirectory(path_)) return std::string();
    return path_ + "/" + fileName;
}

void DataDirectory::setBaseFolderForTesting(const std::string& folder) {
    std::lock_guard<std::mutex> lock(testFolderMutex());
    testFolder() = folder;
}
