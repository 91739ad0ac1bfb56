#include <gtest/gtest.h>

#include <string>

#include "platform/text_encoding.h"
#include "support/temp_folder.h"
#include "xml/xml_parser.h"
#include "xml_test_util.h"

using xml_test::compact;
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

TEST_F(XmlFileTest, PlainFile) {
    const Parsed parsed = parseFile("<opts devicemodel=\"XYZ\"/>\r\n");
    EXPECT_EQ(XmlParseCode::None, parsed.status.code);
    EXPECT_STREQ("XYZ", parsed.node.attributeValue("devicemodel"));
}

TEST_F(XmlFileTest, EmptyFileGivesCode3) {
    const Parsed parsed = parseFile("");
    EXPECT_EQ(XmlParseCode::FileEmpty, parsed.status.code);
    EXPECT_EQ(0, parsed.status.line);
    EXPECT_TRUE(parsed.node.isEmpty());
}

TEST_F(XmlFileTest, MissingFileGivesCode10) {
    XmlParseStatus status;
    const std::string path = (folder_.path() / "missing.xml").string();
    EXPECT_TRUE(parseXmlFile(path.c_str(), &status, nullptr).isEmpty());
    EXPECT_EQ(XmlParseCode::FileNotOpened, status.code);
    EXPECT_EQ(0, status.line);
    EXPECT_EQ(0, status.column);
    EXPECT_TRUE(parseXmlFile(nullptr, &status, nullptr).isEmpty());
    EXPECT_EQ(XmlParseCode::FileNotOpened, status.code);
}

TEST_F(XmlFileTest, DirectoryCannotBeRead) {
    XmlParseStatus status;
    EXPECT_TRUE(parseXmlFile(folder_.path().string().c_str(), &status, nullptr).isEmpty());
    EXPECT_EQ(XmlParseCode::FileNotOpened, status.code);
}

TEST_F(XmlFileTest, WhitespaceOnlyFileGivesCode2) {
    EXPECT_EQ(XmlParseCode::NoElement, parseFile(" \r\n\t \r\n ").status.code);
}

TEST_F(XmlFileTest, Utf8ByteOrderMarkIsSkipped) {
    const Parsed parsed = parseFile(kBom8 + "<a v='\xC3\xA9'/>");
    EXPECT_EQ(XmlParseCode::None, parsed.status.code);
    EXPECT_STREQ("a", parsed.node.name());
    EXPECT_STREQ("\xC3\xA9", parsed.node.attributeValue("v"));
}

TEST_F(XmlFileTest, Utf16WithByteOrderMarkIsConverted) {
    const Parsed parsed = parseFile(kBom16 + utf16le("<opts devicemodel=\"XYZ\"/>\r\n"));
    EXPECT_EQ(XmlParseCode::None, parsed.status.code);
    EXPECT_STREQ("opts", parsed.node.name());
    EXPECT_STREQ("XYZ", parsed.node.attributeValue("devicemodel"));
}

TEST_F(XmlFileTest, Utf16WithoutByteOrderMarkIsConverted) {
    const Parsed parsed = parseFile(utf16le("<a><b>t</b></a>"));
    EXPECT_EQ(XmlParseCode::None, parsed.status.code);
    EXPECT_EQ("<a><b>t</b></a>", compact(parsed.node));
}

TEST_F(XmlFileTest, Utf16NonAsciiAndSurrogatePairs) {
    // "<a v='é€😀'/>" with U+1F600 as a surrogate pair.
    const std::string bytes = kBom16 + utf16le("<a v='") +
                              std::string("\xE9\x00\xAC\x20\x3D\xD8\x00\xDE", 8) + utf16le("'/>");
    const Parsed parsed = parseFile(bytes);
    EXPECT_EQ(XmlParseCode::None, parsed.status.code);
    EXPECT_STREQ("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", parsed.node.attributeValue("v"));
}

TEST_F(XmlFileTest, UnpairedSurrogateGivesCode14) {
    Parsed parsed =
        parseFile(kBom16 + utf16le("<a v='") + std::string("\x3D\xD8", 2) + utf16le("'/>"));
    EXPECT_EQ(XmlParseCode::ConversionFailed, parsed.status.code);
    EXPECT_EQ(0, parsed.status.line);
    EXPECT_TRUE(parsed.node.isEmpty());
    parsed = parseFile(kBom16 + utf16le("<a>") + std::string("\x00\xDE", 2) + utf16le("</a>"));
    EXPECT_EQ(XmlParseCode::ConversionFailed, parsed.status.code);
}

TEST_F(XmlFileTest, ErrorPositionsCountInTheConvertedText) {
    const Parsed parsed = parseFile(kBom16 + utf16le("<a>\r\n  <b>"));
    EXPECT_EQ(XmlParseCode::EndTagMissing, parsed.status.code);
    EXPECT_EQ(2, parsed.status.line);
    EXPECT_EQ(6, parsed.status.column);
}

TEST_F(XmlFileTest, Utf8TextEndsAtTheFirstNul) {
    // Odd length, so no system takes it for UTF-16.
    const Parsed parsed = parseFile(std::string("<a/>\0<b/>", 9));
    EXPECT_EQ(XmlParseCode::None, parsed.status.code);
    EXPECT_EQ("<a/>", compact(parsed.node));
}

TEST_F(XmlFileTest, RootTagAppliesToFiles) {
    const Parsed parsed = parseFile(kBom16 + utf16le("<x><RDService info='i'/></x>"), "rdservice");
    EXPECT_STREQ("i", parsed.node.attributeValue("info"));
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
