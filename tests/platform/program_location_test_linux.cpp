#include "platform/program_location.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "host/program_folder_check.h"
#include "support/temp_folder.h"

namespace {

// Real folders under /tmp (root's, sticky 1777): the program is folder/inner/rdserver_ext.
TEST(ProgramLocationTest, RealFoldersOwnersAndModes) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root: trusted folders are root's";
    testing_support::TempFolder temp;
    const std::string folder = temp.path().string(), inner = folder + "/inner";
    ASSERT_EQ(0, ::mkdir(inner.c_str(), 0755));
    const std::string program = temp.write("inner/rdserver_ext", "");
    const struct {
        std::string path;
        mode_t mode;
        uid_t owner;
        std::string changeable;
    } steps[] = {
        {program, 0755, 0, ""}, {folder, 0755, 0, ""},           {folder, 0777, 0, folder},
        {folder, 01777, 0, ""}, {inner, 0777, 0, inner},         {inner, 0755, 65534, inner},
        {inner, 0755, 0, ""},   {program, 0755, 65534, program},
    };
    for (const auto& step : steps) {
        ASSERT_EQ(0, ::chmod(step.path.c_str(), step.mode));
        ASSERT_EQ(0, ::chown(step.path.c_str(), step.owner, 0));
        EXPECT_EQ(step.changeable, platform::changeablePartOfProgram(program)) << step.path;
    }
    EXPECT_EQ(program + "-missing", platform::changeablePartOfProgram(program + "-missing"));
    EXPECT_EQ("Program folder others can change: " + program +
                  " may be changed by accounts other than the administrators, who could then "
                  "run code as the service; move the program under /usr/local or /opt and "
                  "install it from there",
              programFolderWarning(program));
}

}  // namespace
