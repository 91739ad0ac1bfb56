#include <gtest/gtest.h>

#include <string>

#include "platform/text_encoding.h"
#include "support/temp_folder.h"
#include "xml/xml_parser.h"
#include "xml_test_util.h"

using xml_test::compact;
using xml_test::expectParsed;
using xml_test::Parsed;

namespace {

using xml_test::utf16le;

const std::string kBom16 = "\xFF\xFE";
const std::string kBom8 = "\xEF\xBB\xBF";

class XmlFileTest : public ::testing::Test {
  protected:
    Parsed parseFile(const std::string& bytes, const char* rootTag = nullptr) {
        const std::string path = folder_.write("file.xml", bytes);
        Parsed parsed;
        parsed.node = parseXmlFile(path.c_str(), &parsed.status, rootTag);
        return parsed;
    }

    testing_support::TempFolder folder_;
};

std::string utf8Of(const std::string& bytes) {
    std::string out;
    EXPECT_TRUE(platform::utf16LeToUtf8(reinterpret_cast<const unsigned char*>(bytes.data()),
                                        bytes.size(), out));
    return out;
}

bool converts(const std::string& bytes) {
    std::string out = "unchanged";
    const bool ok = platform::utf16LeToUtf8(reinterpret_cast<const unsigned char*>(bytes.data()),
                                            bytes.size(), out);
    if (!ok) {
        EXPECT_EQ("", out);
    }
    return ok;
}

bool isUtf16(const std::string& bytes) {
    return platform::isUtf16Text(reinterpret_cast<const unsigned char*>(bytes.data()),
                                 bytes.size());
}

}  // namespace

// A file's bytes and what parsing it gives: the code, the position where
// known (-1: not checked), and the compact tree ("<absent>": the empty node).
TEST_F(XmlFileTest, EachFileGivesItsStatusAndTree) {
    const struct {
        const char* name;
        std::string bytes;
        XmlParseCode code;
        int line = -1;
        int column = -1;
        const char* tree = nullptr;
        const char* rootTag = nullptr;
    } rows[] = {
        {"PlainFile", "<opts devicemodel=\"XYZ\"/>\r\n", XmlParseCode::None, -1, -1,
         "<opts devicemodel=\"XYZ\"/>"},
        {"EmptyFileGivesCode3", "", XmlParseCode::FileEmpty, 0, 0, "<absent>"},
        {"WhitespaceOnlyFileGivesCode2", " \r\n\t \r\n ", XmlParseCode::NoElement},
        {"Utf8ByteOrderMarkIsSkipped", kBom8 + "<a v='\xC3\xA9'/>", XmlParseCode::None, -1, -1,
         "<a v=\"\xC3\xA9\"/>"},
        {"Utf16WithByteOrderMarkIsConverted", kBom16 + utf16le("<opts devicemodel=\"XYZ\"/>\r\n"),
         XmlParseCode::None, -1, -1, "<opts devicemodel=\"XYZ\"/>"},
        {"Utf16WithoutByteOrderMarkIsConverted", utf16le("<a><b>t</b></a>"), XmlParseCode::None, -1,
         -1, "<a><b>t</b></a>"},
        // "<a v='é€😀'/>" with U+1F600 as a surrogate pair
        {"Utf16NonAsciiAndSurrogatePairs",
         kBom16 + utf16le("<a v='") + std::string("\xE9\x00\xAC\x20\x3D\xD8\x00\xDE", 8) +
             utf16le("'/>"),
         XmlParseCode::None, -1, -1, "<a v=\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"/>"},
        {"UnpairedSurrogateGivesCode14",
         kBom16 + utf16le("<a v='") + std::string("\x3D\xD8", 2) + utf16le("'/>"),
         XmlParseCode::ConversionFailed, 0, 0, "<absent>"},
        {"UnpairedLowSurrogateGivesCode14",
         kBom16 + utf16le("<a>") + std::string("\x00\xDE", 2) + utf16le("</a>"),
         XmlParseCode::ConversionFailed},
        {"ErrorPositionsCountInTheConvertedText", kBom16 + utf16le("<a>\r\n  <b>"),
         XmlParseCode::EndTagMissing, 2, 6},
        // odd length, so no system takes it for UTF-16
        {"Utf8TextEndsAtTheFirstNul", std::string("<a/>\0<b/>", 9), XmlParseCode::None, -1, -1,
         "<a/>"},
        {"RootTagAppliesToFiles", kBom16 + utf16le("<x><RDService info='i'/></x>"),
         XmlParseCode::None, -1, -1, "<RDService info=\"i\"/>", "rdservice"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        expectParsed(parseFile(row.bytes, row.rootTag), row.code, row.line, row.column, row.tree);
    }
}

TEST_F(XmlFileTest, MissingFileOrADirectoryGivesCode10) {
    XmlParseStatus status;
    const std::string path = (folder_.path() / "missing.xml").string();
    EXPECT_TRUE(parseXmlFile(path.c_str(), &status, nullptr).isEmpty());
    EXPECT_EQ(XmlParseCode::FileNotOpened, status.code);
    EXPECT_EQ(0, status.line);
    EXPECT_EQ(0, status.column);
    EXPECT_TRUE(parseXmlFile(nullptr, &status, nullptr).isEmpty());
    EXPECT_EQ(XmlParseCode::FileNotOpened, status.code);
    status = XmlParseStatus();
    EXPECT_TRUE(parseXmlFile(folder_.path().string().c_str(), &status, nullptr).isEmpty());
    EXPECT_EQ(XmlParseCode::FileNotOpened, status.code);
}

TEST(TextEncoding, RecognisesUtf16Files) {
    EXPECT_TRUE(isUtf16(kBom16 + utf16le("<a/>")));
    EXPECT_TRUE(isUtf16(utf16le("<a/>")));
    EXPECT_TRUE(isUtf16(utf16le("  <a/>\r\n")));
    EXPECT_FALSE(isUtf16("<a/>"));
    EXPECT_FALSE(isUtf16("<opts devicemodel=\"XYZ\"/>\r\n"));
    EXPECT_FALSE(isUtf16(kBom8 + "<opts devicemodel=\"XYZ\"/>"));
    EXPECT_FALSE(isUtf16(kBom16 + utf16le("<a/>") + "x"));  // odd length
}

TEST(TextEncoding, ConvertsUtf16ToUtf8) {
    EXPECT_EQ("", utf8Of(""));
    EXPECT_EQ("abc", utf8Of(utf16le("abc")));
    EXPECT_EQ("\xC3\xA9\xE2\x82\xAC", utf8Of(std::string("\xE9\x00\xAC\x20", 4)));
    EXPECT_EQ("\xF0\x9F\x98\x80", utf8Of(std::string("\x3D\xD8\x00\xDE", 4)));
    EXPECT_EQ("\xF4\x8F\xBF\xBF", utf8Of(std::string("\xFF\xDB\xFF\xDF", 4)));
    EXPECT_EQ("ab", utf8Of(utf16le("ab") + std::string("\0\0", 2) + utf16le("cd")));
    EXPECT_EQ("aB", utf8Of(utf16le("a") + "B"));  // an odd last byte is a low byte
}

TEST(TextEncoding, UnpairedSurrogatesFail) {
    EXPECT_FALSE(converts(std::string("\x3D\xD8", 2)));
    EXPECT_FALSE(converts(std::string("\x3D\xD8", 2) + utf16le("a")));
    EXPECT_FALSE(converts(std::string("\x00\xDE", 2)));
    EXPECT_FALSE(converts(std::string("\x3D\xD8\x3D\xD8\x00\xDE", 6)));
    EXPECT_TRUE(converts(std::string("\x3D\xD8\x00\xDE", 4)));
}
