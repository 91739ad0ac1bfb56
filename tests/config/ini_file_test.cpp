#include "config/ini_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_folder.h"

namespace {

class IniFileTest : public ::testing::Test {
  protected:
    // Writes `contents` to a file in a temporary folder and loads it.
    const IniFile& load(const std::string& contents) {
        EXPECT_TRUE(ini.load(folder.write("test.ini", contents)));
        return ini;
    }

    testing_support::TempFolder folder;
    IniFile ini;
};

// The value at `path`: a key, or groups and a key joined by '/'.
std::string valueAt(const IniFile& ini, const std::string& path) {
    const IniFile* node = &ini;
    std::string key = path;
    for (std::size_t slash; (slash = key.find('/')) != std::string::npos;
         key = key.substr(slash + 1)) {
        node = node->group(key.substr(0, slash));
        if (node == nullptr) {
            ADD_FAILURE() << "no group on the way to " << path;
            return "<no group>";
        }
    }
    return node->getString(key);
}

struct IniRow {
    const char* name;
    std::string contents;
    std::vector<std::pair<std::string, std::string>> strings;  // path, getString
    std::vector<std::pair<std::string, int>> ints = {};        // key, getInt
};

TEST_F(IniFileTest, EachFileGivesItsValues) {
    const IniRow rows[] = {
        {"ReadsSpacedDefinitionsAndDropsQuotes",
         "SERVER_PORT_START = 12000\nSERVER_SSL_CERTICICATE = \"C:/certs/x.pem\"\n",
         {{"SERVER_SSL_CERTICICATE", "C:/certs/x.pem"}},
         {{"SERVER_PORT_START", 12000}}},
        {"QuotesKeepTheBlanksInside",
         "PADDED = \"  a b  \"\nQUOTE = \"\nHALF = \"open\n",
         {{"PADDED", "  a b  "}, {"QUOTE", "\""}, {"HALF", "open"}}},  // one character stays
        {"TheCharacterBeforeEqualsIsNotPartOfTheKey",
         "SERVER_PORT_START=12000\n",
         {{"SERVER_PORT_START", ""}, {"SERVER_PORT_STAR", "12000"}}},
        {"EqualsAtPositionZeroOrOneGivesTheEmptyKey",
         "= first\nA= second\nREF = <%%>\n",
         {{"", "second"}, {"A", ""}, {"REF", "<second>"}}},
        {"LineWithoutEqualsDefinesAnEmptyValue", "JUSTKEY\nB = x%JUSTKEY%y\n", {{"B", "xy"}}},
        {"NothingButBlanksAfterEqualsStoresALineFeed",
         "KEY =   \nCRLF =  \r\n",
         {{"KEY", "\n"}, {"CRLF", "\n"}},
         {{"KEY", 0}}},
        {"LaterDefinitionWinsAndKeysAreCaseSensitive",
         "SERVER_PORT_START = 1\nSERVER_PORT_START = 2\nserver_port_start = 3\n",
         {{"Server_Port_Start", ""}},
         {{"SERVER_PORT_START", 2}, {"server_port_start", 3}}},
        // "C\n" is too short to define C
        {"CommentsOnlyInTheFirstColumnAndShortLinesAreIgnored",
         "#A = 1\n  #B = 2\nC\nDE\nREF = %C%%DE%\n",
         {{"#A", ""}, {"A", ""}, {"#B", "2"}, {"REF", "%C%"}}},
        {"GroupKeysAreInvisibleAtTheTopLevel",
         "G = (\n  INNER = 1\n)\nOUTER = 2\n",
         {{"INNER", ""}, {"OUTER", "2"}, {"G/INNER", "1"}, {"G/OUTER", ""}}},
        {"NestedGroupsSeeOuterValuesUntilTheyClose",
         "A = 1\nG = (\nB = %A%\nH = (\nC = %A%%B%\n)\n)\nD = %B%\n",
         {{"G/B", "1"}, {"G/H/C", "11"}, {"D", "%B%"}}},
        {"ReopenedGroupReplacesTheEarlierOne",
         "G = (\nX = 1\n)\nG = (\nY = 2\n)\n",
         {{"G/X", ""}, {"G/Y", "2"}}},
        {"ParenthesisInAValueClosesTheGroupInstead",
         "G = (\nA = f(x) = 3\nB = 1\n",
         {{"G/A", ""}, {"A", ""}, {"B", "1"}}},
        {"ClosingLineAtTheTopLevelIsIgnored",
         ")\n)\nA = 1\nG = (\nB = 2\n)\n",
         {{"A", "1"}, {"G/B", "2"}}},
        {"ReferencesExpandFromEarlierDefinitions",
         "A = 1\nB = x%A%y\nC = %Z%\nD = %A%-%A%\nE = %LATER%\nLATER = 9\nF = %B%%E%\n",
         {{"B", "x1y"}, {"C", "%Z%"}, {"D", "1-1"}, {"E", "%LATER%"}, {"F", "x1y9"}}},
        {"SelfReferenceStopsAfterTheReplacementLimit",
         "B = y%A%\nA = %B%\nC = %A%\nLOOP = %C%\n",
         {{"A", "y%A%"}, {"C", std::string(kIniMaxReferenceReplacements, 'y') + "%A%"}}},
        // a CR not before LF stays
        {"CrLfFilesReadLikeLfFiles",
         "A = 1\r\nG = (\r\nB = \"x y\"\r\n)\r\nC = a\rb\r\nD = %A%\r\n",
         {{"A", "1"}, {"G/B", "x y"}, {"C", "a\rb"}, {"D", "1"}}},
        // 1024 bytes before CR LF: the cut leaves "x" and the line end, which is
        // two characters, too short to define x, only when the CR is gone.
        {"CarriageReturnIsDroppedBeforeTheLineIsCut",
         "K = " + std::string(1019, 'k') + "x\r\nREF = %x%\r\n",
         {{"K", std::string(1019, 'k')}, {"REF", "%x%"}}},
        {"GetIntConvertsLikeAtoiAndClamps",
         "A = -42abc\nB = abc\nC = +7\nD = 99999999999\nE = -99999999999\nF = \" 5\"\n",
         {},
         {{"A", -42},
          {"B", 0},
          {"C", 7},
          {"D", INT_MAX},
          {"E", INT_MIN},
          {"F", 5},
          {"MISSING", 0}}},
        {"LastLineWithoutLineEndIsRead", "A = 5", {}, {{"A", 5}}},
    };
    for (const IniRow& row : rows) {
        SCOPED_TRACE(row.name);
        IniFile file;
        EXPECT_TRUE(file.load(folder.write("test.ini", row.contents)));
        for (const auto& [path, value] : row.strings) EXPECT_EQ(value, valueAt(file, path)) << path;
        for (const auto& [key, value] : row.ints) EXPECT_EQ(value, file.getInt(key)) << key;
    }
}

TEST_F(IniFileTest, ExpansionStopsBeforeTheLengthLimit) {
    const std::size_t copies = kIniMaxExpandedLength / 1000;  // B fits, twice B does not
    std::string refs;
    for (std::size_t i = 0; i < copies; ++i) {
        refs += "%A%";
    }
    load("A = " + std::string(1000, 'a') + "\nB = " + refs + "\nC = %B%%B%\n");
    const std::string b = ini.getString("B");
    ASSERT_EQ(std::string(copies * 1000, 'a'), b);
    EXPECT_EQ(b + "%B%", ini.getString("C"));
}

TEST_F(IniFileTest, LongLinesAreReadIn1023BytePieces) {
    const std::string fits = "FITS = " + std::string(1015, 'f') + "\n";  // 1023 with the LF
    const std::string over = "OVER = " + std::string(1016, 'o') + "\n";  // 1024 with the LF
    const std::string longer = "LONG = " + std::string(1100, 'l') + "\nTAIL = t\n";
    ASSERT_EQ(1023u, fits.size());
    load(fits + over + longer);
    EXPECT_EQ(std::string(1015, 'f'), ini.getString("FITS"));
    EXPECT_EQ(std::string(1016, 'o'), ini.getString("OVER"));
    EXPECT_EQ(std::string(1016, 'l'), ini.getString("LONG"));
    EXPECT_EQ("", ini.getString(std::string(84, 'l')));  // the rest is a line of its own
    EXPECT_EQ("t", ini.getString("TAIL"));
}

TEST_F(IniFileTest, MissingFileIsReportedAndReadsNothing) {
    EXPECT_FALSE(ini.load((folder.path() / "absent.ini").string()));
    EXPECT_EQ("", ini.getString("A"));
}

}  // namespace
