// Declared body lengths we refuse must not make the process commit that memory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "e2e/extension_fixture.h"
#include "support/rd_answer.h"

using e2e::ExtensionFixture;

namespace {

long residentBytes() {
    long pages = 0;
    long resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

TEST(OversizedBody, DeclaredLengthsAbove16MiBAreRefusedWithoutGrowth) {
    ExtensionFixture extension;
    ASSERT_TRUE(extension.start());
    const long before = residentBytes();
    for (const char* declared : {"4294967296", "17825792"}) {
        EXPECT_EQ(testing_support::rdAnswer(extension.location("/rd/capture"), "(null)",
                                            testing_support::pidData(4, "INVALID_DATA")),
                  extension.send("CAPTURE", "/rd/capture", "",
                                 std::string("Content-Length: ") + declared + "\r\n"))
            << declared;
    }
    EXPECT_LT(residentBytes() - before, 8L * 1024 * 1024);
}

}  // namespace
