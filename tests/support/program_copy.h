#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/port_range.h"
#include "support/temp_folder.h"

namespace testing_support {

// A copy of the extension's executable in a folder of its own, beside a
// config.ini whose port range (ten ports from `portRangeStart()`) is
// reserved for the copy's lifetime. The program changes to its own folder, so the copy
// runs with this configuration.
class ProgramCopy {
  public:
    ProgramCopy();

    bool ready() const { return portRangeStart_ > 0 && !program_.empty(); }
    const std::string& program() const { return program_; }
    int portRangeStart() const { return portRangeStart_; }
    const TempFolder& folder() const { return folder_; }
    // The environment entries that keep the program's data (DeviceConfig.xml)
    // in this copy's folder instead of the machine's, followed by `extra`.
    std::vector<std::string> environment(std::vector<std::string> extra = {}) const;
    // Where the program keeps its data under environment().
    std::filesystem::path dataDirectory() const;

  private:
    TempFolder folder_;
    std::string program_;
    PortRange ports_{10};
    int portRangeStart_ = -1;
};

// A test of the program as a process, run from a copy of its own.
class ProgramCopyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(copy.ready());
        program = copy.program();
        base = copy.portRangeStart();
    }
    ProgramCopy copy;
    std::string program;
    int base = 0;
};

}  // namespace testing_support
