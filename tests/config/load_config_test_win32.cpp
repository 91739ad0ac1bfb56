#include <gtest/gtest.h>
#include <windows.h>

#include "config/load_config.h"
#include "support/temp_folder.h"

TEST(LoadConfigWin32, FileHeldWithoutSharingIsUnreadable) {
    testing_support::TempFolder folder;
    const std::string path = folder.write("config.ini", "ALLOWED_ORIGINS = https://a.example\n");
    const HANDLE held = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, 0);
    testing_support::ScopedWorkingDirectory inFolder(folder.path());
    ServerSettings settings;
    ConfigLoad load;
    loadConfig(settings, &load);
    ::CloseHandle(held);
    EXPECT_EQ(ConfigFile::kUnreadable, load.file) << load.unreadableLine;
}
