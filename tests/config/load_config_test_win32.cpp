// What the issue names on Windows: a reader holds config.ini open without
// sharing across the service's start.
#include <windows.h>

#include <gtest/gtest.h>

#include "config/load_config.h"
#include "support/temp_folder.h"

TEST(LoadConfigWin32, FileHeldWithoutSharingIsUnreadable) {
    testing_support::TempFolder folder;
    const std::string path = folder.write("config.ini", "ALLOWED_ORIGINS = https://a.example\n");
    const HANDLE held = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    testing_support::ScopedWorkingDirectory inFolder(folder.path());
    ServerSettings settings;
    ConfigLoad load;
    EXPECT_EQ(1, loadConfig(settings, &load));
    ::CloseHandle(held);
    EXPECT_EQ(ConfigFile::kUnreadable, load.file);
    EXPECT_EQ("none", describeAllowedOrigins(settings.allowedOrigins));
    std::printf("%s\n", load.unreadableLine.c_str());  // the system's words, for the record
}
