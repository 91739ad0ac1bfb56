#include "text/text_helpers.h"
#include "text/escaped_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

TEST(EscapedTextTest, ControlBytesAreEscaped) {
    EXPECT_EQ("a\\x0d\\x0ab\\x1b[31m\\x7f\xc3\xa9",
              text::escapeControlBytes("a\r\nb\x1b[31m\x7f\xc3\xa9"));
}

TEST(TextHelpersTest, LowerCaseAndTrimmedTouchOnlyWhatTheyMust) {
    EXPECT_EQ("chunked-\xC3\x89z09", text::lowerCase("ChUnKeD-\xC3\x89Z09"));
    const char* const blanks = " \t\n\r\f\v";
    EXPECT_EQ("a \t b", text::trimmed(" \t\n\r\f\va \t b\v\f\r\n\t ", blanks));
    EXPECT_EQ("", text::trimmed(" \t\r\n", blanks));
    EXPECT_EQ("", text::trimmed("", blanks));
    EXPECT_EQ("x", text::trimmed("x", blanks));
    EXPECT_EQ("\fx", text::trimmed(" \fx\t", " \t"));
}

TEST(TextHelpersTest, ParseDecimalTakesDigitsOnlyUpToItsMaximum) {
    const std::uint64_t top = std::numeric_limits<std::uint64_t>::max();
    const struct {
        const char* text;
        std::uint64_t max;
        bool parses;
        std::uint64_t value;
    } cases[] = {
        {"0", 255, true, 0},
        {"00255", 255, true, 255},
        {"256", 255, false, 0},
        {"18446744073709551615", top, true, top},
        {"18446744073709551616", top, false, 0},
        {"99999999999999999999", top, false, 0},
        {"", top, false, 0},
        {"+1", top, false, 0},
        {"-1", top, false, 0},
        {" 1", top, false, 0},
        {"1 ", top, false, 0},
        {"0x1", top, false, 0},
        {"1e3", top, false, 0},
    };
    for (const auto& c : cases) {
        std::uint64_t value = 0;
        EXPECT_EQ(c.parses, text::parseDecimal(c.text, c.max, value)) << c.text;
        EXPECT_EQ(c.value, value) << c.text;
    }
}

TEST(TextHelpersTest, SplitHostPortKeepsBracketedHostsWhole) {
    const struct {
        const char* authority;
        bool wellFormed;
        const char* host;
        bool hasPort;
        const char* port;
    } cases[] = {
        {"localhost", true, "localhost", false, ""},
        {"a:8080", true, "a", true, "8080"},
        {"a:", true, "a", true, ""},
        {"a:x:1", true, "a", true, "x:1"},
        {"[::1]", true, "[::1]", false, ""},
        {"[::1]:80", true, "[::1]", true, "80"},
        {"", true, "", false, ""},
        {":80", false, "", false, ""},
        {"[::1", false, "", false, ""},
        {"[::1]x", false, "[::1]", false, ""},
    };
    for (const auto& c : cases) {
        text::HostAndPort parts;
        EXPECT_EQ(c.wellFormed, text::splitHostPort(c.authority, parts)) << c.authority;
        EXPECT_EQ(c.host, parts.host) << c.authority;
        EXPECT_EQ(c.hasPort, parts.hasPort) << c.authority;
        EXPECT_EQ(c.port, parts.port) << c.authority;
    }
}

}  // namespace
