#pragma once

#include <string>

// Names the folder that replaces the machine's application-data folder when
// it is set and not empty (a test run, a second instance): the program then
// keeps its data there and leaves the machine's folder alone.
constexpr const char* kDataFolderVariable = "RDSERVER_EXT_DATA_DIR";

// The directory of the program's machine-wide data: the platform's common
// application-data folder (see platform/data_folder.h; "C:/ProgramData" when
// it is unknown) + "/" + "Lumetra-RD-Service-Wrapper". The folder part keeps
// the platform's separators, so the path may mix them.
class DataDirectory {
  public:
    // Uses the folder kDataFolderVariable names, else the platform's folder.
    // Creates nothing: whoever writes there creates it (config/device_model.h),
    // with access only administrators may change.
    DataDirectory();
    // Uses `baseFolder` in place of the platform's folder.
    explicit DataDirectory(const std::string& baseFolder);

    const std::string& path() const { return path_; }

    // path + "/" + fileName.
    std::string filePath(const std::string& fileName) const;

  private:
    std::string path_;
};
