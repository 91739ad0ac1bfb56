#include "platform/program_location.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "host/program_folder_check.h"
#include "support/temp_folder.h"

namespace {

// Real folders under /tmp (root's, sticky 1777): the program lies in
// `folder/inner/rdserver_ext`.
class ProgramLocationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "needs root: trusted folders are root's";
        inner = (folder.path() / "inner").string();
        ASSERT_EQ(0, ::mkdir(inner.c_str(), 0755));
        program = folder.write("inner/rdserver_ext", "");
        ASSERT_EQ(0, ::chmod(program.c_str(), 0755));
        ASSERT_EQ(0, ::chmod(folder.path().c_str(), 0755));
    }

    testing_support::TempFolder folder;
    std::string inner;
    std::string program;
};

TEST_F(ProgramLocationTest, RootFoldersUnderAStickyParentAreTrusted) {
    EXPECT_EQ("", platform::changeablePartOfProgram(program));
    EXPECT_EQ("", programFolderWarning(program));
}

TEST_F(ProgramLocationTest, FoldersOthersMayWriteAreNamed) {
    ASSERT_EQ(0, ::chmod(folder.path().c_str(), 0777));
    EXPECT_EQ(folder.path().string(), platform::changeablePartOfProgram(program));
    ASSERT_EQ(0, ::chmod(folder.path().c_str(), 01777));  // sticky: no one renames "inner"
    EXPECT_EQ("", platform::changeablePartOfProgram(program));
    ASSERT_EQ(0, ::chmod(inner.c_str(), 0777));
    EXPECT_EQ(inner, platform::changeablePartOfProgram(program));
    EXPECT_EQ("Program folder others can change: " + inner +
                  " may be changed by accounts other than the administrators, who could then "
                  "run code as the service; move the program under /usr/local or /opt and "
                  "install it from there",
              programFolderWarning(program));
}

TEST_F(ProgramLocationTest, AFolderOrProgramOfAnotherAccountIsNamed) {
    ASSERT_EQ(0, ::chown(inner.c_str(), 65534, 65534));
    EXPECT_EQ(inner, platform::changeablePartOfProgram(program));
    ASSERT_EQ(0, ::chown(inner.c_str(), 0, 0));
    ASSERT_EQ(0, ::chown(program.c_str(), 65534, 65534));
    EXPECT_EQ(program, platform::changeablePartOfProgram(program));
    EXPECT_EQ(program + "-missing", platform::changeablePartOfProgram(program + "-missing"));
}

}  // namespace
