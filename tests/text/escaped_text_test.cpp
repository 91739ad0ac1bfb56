#include "text/escaped_text.h"

#include <gtest/gtest.h>

namespace {

TEST(EscapedTextTest, ControlBytesAreEscaped) {
    EXPECT_EQ("a\\x0d\\x0ab\\x1b[31m\\x7f\xc3\xa9",
              text::escapeControlBytes("a\r\nb\x1b[31m\x7f\xc3\xa9"));
}

}  // namespace
