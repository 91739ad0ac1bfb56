#include "xml/xml_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "protocol/rd_protocol.h"
#include "xml/xml_tables.h"
#include "xml_test_util.h"

using xml_test::compact;
using xml_test::formatted;
using xml_test::parse;

namespace {

std::string encoded(const char* text) {
    std::string out(encodedLength(text), '?');
    EXPECT_EQ(out.size(), encodeEntities(text, &out[0]));
    return out;
}

XmlNodeRef deviceConfigNode() {
    XmlNodeRef node = makeRootNode("opts");
    node.setAttribute("devicemodel", kDefaultDeviceModel);
    return node;
}

}  // namespace

TEST(XmlWriter, SettingsElement) {
    const XmlNodeRef node = deviceConfigNode();
    const std::string text = formatted(node);
    const std::string element = std::string("<opts devicemodel=\"") + kDefaultDeviceModel + "\"/>";
    EXPECT_EQ(element + "\n", text);
    EXPECT_EQ(45u, text.size());
    EXPECT_EQ(element, compact(node));
}

// What a parsed input writes, formatted and compact (null: not checked).
TEST(XmlWriter, ParsedTreesAreWrittenBack) {
    const struct {
        const char* input;
        const char* formatted;
        const char* compact;
    } rows[] = {
        {"<a x=\"1\"><b>t</b><c/>text</a>", "<a x=\"1\">\n\t<b>t</b>\n\t<c/>\n\ttext\n</a>\n",
         "<a x=\"1\"><b>t</b><c/>text</a>"},
        // a declaration is not indented and has no end tag
        {"<?xml version=\"1.0\"?><a><b>t</b></a>",
         "<?xml version=\"1.0\"?>\n<a>\n\t<b>t</b>\n</a>\n",
         "<?xml version=\"1.0\"?><a><b>t</b></a>"},
        // the document node writes only its items
        {"<a/><b/>", "<a/>\n<b/>\n", "<a/><b/>"},
        {"<e flag/>", nullptr, "<e flag/>"},
        {"<e v=''/>", nullptr, "<e v=\"\"/>"},
        {"<e>a&lt;b &amp; &quot;c&quot;&gt;</e>", nullptr, "<e>a&lt;b &amp; &quot;c&quot;&gt;</e>"},
        // a comment inside an element is on its own line
        {"<a><!-- note --><b/></a>", "<a>\n\t<!-- note -->\n\t<b/>\n</a>\n",
         "<a><!-- note --><b/></a>"},
        // verbatim blocks are written raw
        {"<!DOCTYPE d [ <!ENTITY e \"x\"> ]><d><![CDATA[<&>]]><PRE> a&b </PRE></d>", nullptr,
         "<!DOCTYPE d [ <!ENTITY e \"x\"> ]><d><![CDATA[<&>]]><PRE> a&b </PRE></d>"},
        // deeper levels indent by one tab each
        {"<a><b><c>t</c><d/></b></a>", "<a>\n\t<b>\n\t\t<c>t</c>\n\t\t<d/>\n\t</b>\n</a>\n",
         nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.input);
        const XmlNodeRef node = parse(row.input).node;
        if (row.formatted) {
            EXPECT_EQ(row.formatted, formatted(node));
        }
        if (row.compact) {
            EXPECT_EQ(row.compact, compact(node));
        }
    }
    ASSERT_TRUE(parse("<?xml version=\"1.0\"?><a><b>t</b></a>").node.isDeclaration());
    ASSERT_EQ(nullptr, parse("<a/><b/>").node.name());
}

// Attribute values are encoded; a sequence cut by the end becomes an
// underscore, its lead byte only (a continuation byte alone is copied).
TEST(XmlWriter, ValuesAreEncoded) {
    XmlNodeRef node = makeRootNode("e");
    EXPECT_EQ("<e/>", compact(node));
    for (const auto& [value, written] :
         {std::pair("a<b & \"c\" 'd'", "<e v=\"a&lt;b &amp; &quot;c&quot; &apos;d&apos;\"/>"),
          std::pair("ab\xC3", "<e v=\"ab_\"/>"), std::pair("\xE2\x82", "<e v=\"_\x82\"/>")}) {
        node.setAttribute("v", value);
        EXPECT_EQ(written, compact(node)) << value;
    }
}

TEST(XmlWriter, LengthExcludesTheNulAndTheEmptyNodeGivesNothing) {
    const std::string text = makeRootNode("e").serialize(false);
    EXPECT_EQ(4u, text.size());
    EXPECT_EQ(4u, std::strlen(text.c_str()));
    EXPECT_EQ("", XmlNodeRef().serialize(true));
    EXPECT_EQ("", XmlNodeRef().serialize(false));
}

TEST(XmlWriter, EncodeEntities) {
    EXPECT_EQ("", encoded(""));
    EXPECT_EQ("plain \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
              encoded("plain \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"));
    EXPECT_EQ("&amp;&lt;&gt;&quot;&apos;", encoded("&<>\"'"));
    EXPECT_EQ("a_", encoded("a\xF0"));
    EXPECT_EQ("\x80\xC0\xFF", encoded("\x80\xC0\xFF"));  // single bytes by the table
    EXPECT_EQ(25u, encodedLength("&<>\"'"));
    EXPECT_EQ(0u, encodedLength(nullptr));
}

// Parsing what was written gives the same tree back, so writing it again
// gives the same text.
TEST(XmlWriter, RoundTrip) {
    for (const char* text : {
             "<a/>",
             "<a x=\"1\" flag y=''><b>t</b><c/>text</a>",
             "<r><k v=\"&lt;&amp;&gt;&quot;&apos;\">a&amp;b</k></r>",
             "<r>x<!-- c --></r>",
             "<r><![CDATA[ <raw> & ]]><PRE>pre</PRE><!--c--><e/></r>",
             "<a/><b/>",
             "<!DOCTYPE d [ <!ENTITY e \"x\"> ]><d/>",
             "<RDService status=\"READY\" info=\"Quillaris-USB ZR4410QX Registered Device "
             "Service\"><Interface id=\"CAPTURE\" path=\"/rd/capture\"/><Interface "
             "id=\"DEVICEINFO\" path=\"/rd/info\"/></RDService>",
             "<a>\xC3\xA9t\xC3\xA9<b>\xE2\x82\xAC</b></a>",
         }) {
        for (const bool asFormatted : {false, true}) {
            const XmlNodeRef first = parse(text).node;
            ASSERT_FALSE(first.isEmpty()) << text;
            const std::string written = xml_test::serialized(first, asFormatted);
            const xml_test::Parsed again = parse(written.c_str());
            EXPECT_EQ(XmlParseCode::None, again.status.code) << written;
            EXPECT_EQ(written, xml_test::serialized(again.node, asFormatted)) << text;
            EXPECT_EQ(compact(first), compact(again.node)) << text;
        }
    }
}

TEST(XmlTables, SequenceLengths) {
    const std::pair<char, int> rows[] = {{'\0', 0},   {'A', 1},    {'\x80', 1}, {'\xC1', 1},
                                         {'\xC2', 2}, {'\xDF', 2}, {'\xE0', 3}, {'\xEF', 3},
                                         {'\xF0', 4}, {'\xF4', 4}, {'\xF5', 1}, {'\xFF', 1}};
    for (const auto& [lead, length] : rows) {
        EXPECT_EQ(length, xmlSequenceLength(lead)) << static_cast<int>(lead & 0xFF);
    }
}
