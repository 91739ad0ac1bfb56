#include "config/ini_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

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

TEST_F(IniFileTest, ReadsSpacedDefinitionsAndDropsQuotes) {
    load("SERVER_PORT_START = 12000\nSERVER_SSL_CERTICICATE = \"C:/certs/x.pem\"\n");
    EXPECT_EQ(12000, ini.getInt("SERVER_PORT_START"));
    EXPECT_EQ("C:/certs/x.pem", ini.getString("SERVER_SSL_CERTICICATE"));
}

TEST_F(IniFileTest, QuotesKeepTheBlanksInside) {
    load("PADDED = \"  a b  \"\nQUOTE = \"\nHALF = \"open\n");
    EXPECT_EQ("  a b  ", ini.getString("PADDED"));
    EXPECT_EQ("\"", ini.getString("QUOTE"));  // one character is never shortened
    EXPECT_EQ("open", ini.getString("HALF"));
}

TEST_F(IniFileTest, TheCharacterBeforeEqualsIsNotPartOfTheKey) {
    load("SERVER_PORT_START=12000\n");
    EXPECT_EQ("", ini.getString("SERVER_PORT_START"));
    EXPECT_EQ("12000", ini.getString("SERVER_PORT_STAR"));
}

TEST_F(IniFileTest, EqualsAtPositionZeroOrOneGivesTheEmptyKey) {
    load("= first\nA= second\nREF = <%%>\n");
    EXPECT_EQ("second", ini.getString(""));
    EXPECT_EQ("", ini.getString("A"));
    EXPECT_EQ("<second>", ini.getString("REF"));
}

TEST_F(IniFileTest, LineWithoutEqualsDefinesAnEmptyValue) {
    load("JUSTKEY\nB = x%JUSTKEY%y\n");
    EXPECT_EQ("xy", ini.getString("B"));
}

TEST_F(IniFileTest, NothingButBlanksAfterEqualsStoresALineFeed) {
    load("KEY =   \nCRLF =  \r\n");
    EXPECT_EQ("\n", ini.getString("KEY"));
    EXPECT_EQ("\n", ini.getString("CRLF"));
    EXPECT_EQ(0, ini.getInt("KEY"));
}

TEST_F(IniFileTest, LaterDefinitionWinsAndKeysAreCaseSensitive) {
    load("SERVER_PORT_START = 1\nSERVER_PORT_START = 2\nserver_port_start = 3\n");
    EXPECT_EQ(2, ini.getInt("SERVER_PORT_START"));
    EXPECT_EQ(3, ini.getInt("server_port_start"));
    EXPECT_EQ("", ini.getString("Server_Port_Start"));
}

TEST_F(IniFileTest, CommentsOnlyInTheFirstColumnAndShortLinesAreIgnored) {
    load("#A = 1\n  #B = 2\nC\nDE\nREF = %C%%DE%\n");
    EXPECT_EQ("", ini.getString("#A"));
    EXPECT_EQ("", ini.getString("A"));
    EXPECT_EQ("2", ini.getString("#B"));
    EXPECT_EQ("%C%", ini.getString("REF"));  // "C\n" is too short to define C
}

TEST_F(IniFileTest, GroupKeysAreInvisibleAtTheTopLevel) {
    load("G = (\n  INNER = 1\n)\nOUTER = 2\n");
    EXPECT_EQ("", ini.getString("INNER"));
    EXPECT_EQ("2", ini.getString("OUTER"));
    ASSERT_NE(nullptr, ini.group("G"));
    EXPECT_EQ("1", ini.group("G")->getString("INNER"));
    EXPECT_EQ("", ini.group("G")->getString("OUTER"));
}

TEST_F(IniFileTest, NestedGroupsSeeOuterValuesUntilTheyClose) {
    load("A = 1\nG = (\nB = %A%\nH = (\nC = %A%%B%\n)\n)\nD = %B%\n");
    const IniFile* g = ini.group("G");
    ASSERT_NE(nullptr, g);
    ASSERT_NE(nullptr, g->group("H"));
    EXPECT_EQ("1", g->getString("B"));
    EXPECT_EQ("11", g->group("H")->getString("C"));
    EXPECT_EQ("%B%", ini.getString("D"));
}

TEST_F(IniFileTest, ReopenedGroupReplacesTheEarlierOne) {
    load("G = (\nX = 1\n)\nG = (\nY = 2\n)\n");
    ASSERT_NE(nullptr, ini.group("G"));
    EXPECT_EQ("", ini.group("G")->getString("X"));
    EXPECT_EQ("2", ini.group("G")->getString("Y"));
}

TEST_F(IniFileTest, ParenthesisInAValueClosesTheGroupInstead) {
    load("G = (\nA = f(x) = 3\nB = 1\n");
    ASSERT_NE(nullptr, ini.group("G"));
    EXPECT_EQ("", ini.group("G")->getString("A"));
    EXPECT_EQ("", ini.getString("A"));
    EXPECT_EQ("1", ini.getString("B"));
}

TEST_F(IniFileTest, ClosingLineAtTheTopLevelIsIgnored) {
    load(")\n)\nA = 1\nG = (\nB = 2\n)\n");
    EXPECT_EQ("1", ini.getString("A"));
    ASSERT_NE(nullptr, ini.group("G"));
    EXPECT_EQ("2", ini.group("G")->getString("B"));
}

TEST_F(IniFileTest, ReferencesExpandFromEarlierDefinitions) {
    load("A = 1\nB = x%A%y\nC = %Z%\nD = %A%-%A%\nE = %LATER%\nLATER = 9\nF = %B%%E%\n");
    EXPECT_EQ("x1y", ini.getString("B"));
    EXPECT_EQ("%Z%", ini.getString("C"));
    EXPECT_EQ("1-1", ini.getString("D"));
    EXPECT_EQ("%LATER%", ini.getString("E"));
    EXPECT_EQ("x1y9", ini.getString("F"));
}

TEST_F(IniFileTest, SelfReferenceStopsAfterTheReplacementLimit) {
    load("B = y%A%\nA = %B%\nC = %A%\nLOOP = %C%\n");
    EXPECT_EQ("y%A%", ini.getString("A"));
    const std::string stopped = std::string(kIniMaxReferenceReplacements, 'y') + "%A%";
    EXPECT_EQ(stopped, ini.getString("C"));
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

TEST_F(IniFileTest, CrLfFilesReadLikeLfFiles) {
    load("A = 1\r\nG = (\r\nB = \"x y\"\r\n)\r\nC = a\rb\r\nD = %A%\r\n");
    EXPECT_EQ("1", ini.getString("A"));
    ASSERT_NE(nullptr, ini.group("G"));
    EXPECT_EQ("x y", ini.group("G")->getString("B"));
    EXPECT_EQ("a\rb", ini.getString("C"));  // a CR not before LF stays
    EXPECT_EQ("1", ini.getString("D"));
}

TEST_F(IniFileTest, CarriageReturnIsDroppedBeforeTheLineIsCut) {
    // 1024 bytes before CR LF: the cut leaves "x" and the line end, which is
    // two characters, too short to define x, only when the CR is gone.
    load("K = " + std::string(1019, 'k') + "x\r\nREF = %x%\r\n");
    EXPECT_EQ(std::string(1019, 'k'), ini.getString("K"));
    EXPECT_EQ("%x%", ini.getString("REF"));
}

TEST_F(IniFileTest, GetIntConvertsLikeAtoiAndClamps) {
    load("A = -42abc\nB = abc\nC = +7\nD = 99999999999\nE = -99999999999\nF = \" 5\"\n");
    EXPECT_EQ(-42, ini.getInt("A"));
    EXPECT_EQ(0, ini.getInt("B"));
    EXPECT_EQ(7, ini.getInt("C"));
    EXPECT_EQ(INT_MAX, ini.getInt("D"));
    EXPECT_EQ(INT_MIN, ini.getInt("E"));
    EXPECT_EQ(5, ini.getInt("F"));
    EXPECT_EQ(0, ini.getInt("MISSING"));
}

TEST_F(IniFileTest, LastLineWithoutLineEndIsRead) {
    load("A = 5");
    EXPECT_EQ(5, ini.getInt("A"));
}

TEST_F(IniFileTest, MissingFileIsReportedAndReadsNothing) {
    EXPECT_FALSE(ini.load((folder.path() / "absent.ini").string()));
    EXPECT_EQ("", ini.getString("A"));
}

}  // namespace
