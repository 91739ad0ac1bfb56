#include "xml/xml_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

TEST(XmlWriter, ElementWithChildrenAndText) {
    const XmlNodeRef node = parse("<a x=\"1\"><b>t</b><c/>text</a>").node;
    EXPECT_EQ("<a x=\"1\">\n\t<b>t</b>\n\t<c/>\n\ttext\n</a>\n", formatted(node));
    EXPECT_EQ("<a x=\"1\"><b>t</b><c/>text</a>", compact(node));
}

TEST(XmlWriter, DeclarationIsNotIndentedAndHasNoEndTag) {
    const XmlNodeRef node = parse("<?xml version=\"1.0\"?><a><b>t</b></a>").node;
    ASSERT_TRUE(node.isDeclaration());
    EXPECT_EQ("<?xml version=\"1.0\"?>\n<a>\n\t<b>t</b>\n</a>\n", formatted(node));
    EXPECT_EQ("<?xml version=\"1.0\"?><a><b>t</b></a>", compact(node));
}

TEST(XmlWriter, DocumentNodeWritesOnlyItsItems) {
    const XmlNodeRef node = parse("<a/><b/>").node;
    ASSERT_EQ(nullptr, node.name());
    EXPECT_EQ("<a/>\n<b/>\n", formatted(node));
    EXPECT_EQ("<a/><b/>", compact(node));
}

TEST(XmlWriter, CompactEmptyElementsAndAttributes) {
    EXPECT_EQ("<e/>", compact(makeRootNode("e")));
    EXPECT_EQ("<e flag/>", compact(parse("<e flag/>").node));
    EXPECT_EQ("<e v=\"\"/>", compact(parse("<e v=''/>").node));
}

TEST(XmlWriter, TextsAndValuesAreEncoded) {
    XmlNodeRef node = makeRootNode("e");
    node.setAttribute("v", "a<b & \"c\" 'd'");
    EXPECT_EQ("<e v=\"a&lt;b &amp; &quot;c&quot; &apos;d&apos;\"/>", compact(node));
    EXPECT_EQ("<e>a&lt;b &amp; &quot;c&quot;&gt;</e>",
              compact(parse("<e>a&lt;b &amp; &quot;c&quot;&gt;</e>").node));
}

TEST(XmlWriter, CutSequenceAtTheEndBecomesAnUnderscore) {
    XmlNodeRef node = makeRootNode("e");
    node.setAttribute("v", "ab\xC3");
    EXPECT_EQ("<e v=\"ab_\"/>", compact(node));
    // Only the lead byte is replaced; a continuation byte alone is copied.
    node.setAttribute("v", "\xE2\x82");
    EXPECT_EQ("<e v=\"_\x82\"/>", compact(node));
}

TEST(XmlWriter, CommentInsideAnElementIsOnItsOwnLine) {
    const XmlNodeRef node = parse("<a><!-- note --><b/></a>").node;
    EXPECT_EQ("<a>\n\t<!-- note -->\n\t<b/>\n</a>\n", formatted(node));
    EXPECT_EQ("<a><!-- note --><b/></a>", compact(node));
}

TEST(XmlWriter, VerbatimBlocksAreWrittenRaw) {
    const XmlNodeRef node =
        parse("<!DOCTYPE d [ <!ENTITY e \"x\"> ]><d><![CDATA[<&>]]><PRE> a&b </PRE></d>").node;
    EXPECT_EQ("<!DOCTYPE d [ <!ENTITY e \"x\"> ]><d><![CDATA[<&>]]><PRE> a&b </PRE></d>",
              compact(node));
}

TEST(XmlWriter, DeeperLevelsIndentByOneTabEach) {
    const XmlNodeRef node = parse("<a><b><c>t</c><d/></b></a>").node;
    EXPECT_EQ("<a>\n\t<b>\n\t\t<c>t</c>\n\t\t<d/>\n\t</b>\n</a>\n", formatted(node));
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
    EXPECT_EQ(0, xmlSequenceLength('\0'));
    EXPECT_EQ(1, xmlSequenceLength('A'));
    EXPECT_EQ(1, xmlSequenceLength('\x80'));
    EXPECT_EQ(1, xmlSequenceLength('\xC1'));
    EXPECT_EQ(2, xmlSequenceLength('\xC2'));
    EXPECT_EQ(2, xmlSequenceLength('\xDF'));
    EXPECT_EQ(3, xmlSequenceLength('\xE0'));
    EXPECT_EQ(3, xmlSequenceLength('\xEF'));
    EXPECT_EQ(4, xmlSequenceLength('\xF0'));
    EXPECT_EQ(4, xmlSequenceLength('\xF4'));
    EXPECT_EQ(1, xmlSequenceLength('\xF5'));
    EXPECT_EQ(1, xmlSequenceLength('\xFF'));
}
