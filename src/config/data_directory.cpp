#include "config/data_directory.h"

#include <cstdlib>

#include "platform/arguments.h"
#include "platform/data_folder.h"
#include "platform/files.h"

namespace {

constexpr const char* kFallbackFolder = "C:/ProgramData";

std::string machineDataFolder() {
    const std::string chosen = platform::environmentValue(kDataFolderVariable);
    return !chosen.empty() ? chosen : platform::commonAppDataFolder();
}

}  // namespace

DataDirectory::DataDirectory() : DataDirectory(machineDataFolder()) {}

DataDirectory::DataDirectory(const std::string& folder)
    : path_((folder.empty() ? std::string(kFallbackFolder) : folder) + "/" +
            platform::kDataFolderName) {}

std::string DataDirectory::filePath(const std::string& fileName) const {
    return path_ + "/" + fileName;
}
