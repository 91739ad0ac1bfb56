#include "config/ini_update.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct UpdateCase {
    const char* name;
    std::string before;
    std::string key;
    std::string value;
    std::string after;  // empty: refused, the text stays as it was
};

const UpdateCase kUpdateCases[] = {
    {"replaces in place, keeping comments and CRLF",
     "# c\r\nSERVER_PORT_START = 11100\r\nX = 1\r\n", "SERVER_PORT_START", "11200",
     "# c\r\nSERVER_PORT_START = 11200\r\nX = 1\r\n"},
    {"the last top-level definition, not one in a group", "K = 1\nG = (\nK = 2\n)\nK = 3\n", "K",
     "9", "K = 1\nG = (\nK = 2\n)\nK = 9\n"},
    {"a definition before a group of that name", "K = 1\nG = (\nK = 2\n)\n", "K", "9",
     "K = 9\nG = (\nK = 2\n)\n"},
    {"appends, ending an unterminated last line", "A = 1", "ALLOWED_ORIGINS",
     "https://a.example, https://*.b.example",
     "A = 1\nALLOWED_ORIGINS = \"https://a.example, https://*.b.example\"\n"},
    {"quotes keep blanks and quotes at the ends", "", "K", " \"x\" ", "K = \" \"x\" \"\n"},
    {"refuses ')', which closes a group", "K = 1\n", "K", "C:/certs (old)/x.pem", ""},
    {"refuses a line end", "K = 1\n", "K", "a\nB = 2", ""},
    {"refuses an empty value", "K = 1\n", "K", "", ""},
    {"refuses a line the reader would cut", "K = 1\n", "K", std::string(1100, 'x'), ""},
    {"refuses a reference the reader would expand", "A = 1\n", "K", "%A%", ""},
    {"refuses to land inside an open group", "G = (\nA = 1\n", "K", "1", ""},
};

TEST(IniUpdate, WritesInTheDialectAndKeepsTheRest) {
    for (const UpdateCase& c : kUpdateCases) {
        std::string text = c.before;
        const bool written = setIniValue(text, c.key, c.value);
        EXPECT_EQ(!c.after.empty(), written) << c.name;
        EXPECT_EQ(c.after.empty() ? c.before : c.after, text) << c.name;
    }
}

}  // namespace
