#include "xml/xml_parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "xml/xml_tables.h"
#include "xml_test_util.h"

using xml_test::compact;
using xml_test::expectParsed;
using xml_test::parse;
using xml_test::Parsed;
using xml_test::text;

namespace {

using Code = XmlParseCode;

// One parse and what it must give: the code, the position where known
// (-1: not checked), and the compact tree ("<absent>" for the empty node).
struct StatusRow {
    const char* text;
    Code code;
    int line = -1;
    int column = -1;
    const char* tree = nullptr;
    const char* rootTag = nullptr;
};

const StatusRow kStatusRows[] = {
    // elements and end tags
    {"<a/>", Code::None, 0, 0},
    {"<a></a>", Code::None, 0, 0},
    {"<a>", Code::EndTagMissing, 1, 4},
    {"<a>\n  <b>text", Code::EndTagMissing, 2, 10, "<a><b>text</b></a>"},
    // a mismatched end tag closes up to the element it names
    {"<a><b></a>", Code::EndTagMissing, 1, 11, "<a><b/></a>"},
    {"<a></b>", Code::EndTagUnmatched, 1, 8, "<absent>"},
    // end tag names ignore case and need a delimiter
    {"<Item></ITEM>", Code::None},
    {"<a></a >", Code::None},
    {"<a></ab>", Code::EndTagUnmatched},
    {"< a/>", Code::None, -1, -1, "<a/>"},  // a blank after "<" is skipped
    {"<a>\n  <></a>", Code::TagNameMissing, 2, 5},
    {"<a><?></a>", Code::TagNameMissing},
    {"<a><></a>", Code::TagNameMissing, -1, -1, "<absent>"},
    {"<a></></a>", Code::EndTagNameMissing},
    {"<a></a/>", Code::EndTagNameMissing},
    {"<a></a", Code::EndTagNameMissing},
    // with no element in the document, "no element" wins over the error found
    {"</>", Code::NoElement},
    {"", Code::NoElement, 1, 1},
    {"<!-- x", Code::NoElement},
    // start tags
    {"<a =1/>", Code::TokenUnexpected},
    {"<a b=/>", Code::TokenUnexpected},
    {"<a b 'c'/>", Code::TokenUnexpected},
    {"<r>\n<a b=\"x<y\"/></r>", Code::TokenUnexpected, 2, 9},
    // entities and character references
    {"<a>&nbsp;</a>", Code::EntityUndefined, -1, -1, "<absent>"},
    {"<a>&#6x;</a>", Code::EntityUndefined, -1, -1, "<absent>"},
    {"<a>a & b</a>", Code::EntityUndefined, -1, -1, "<absent>"},
    {"<a>&</a>", Code::EntityUndefined, -1, -1, "<absent>"},
    {"<a>&#65</a>", Code::EntityUndefined, -1, -1, "<absent>"},
    {"<a v='&am'/>", Code::EntityUndefined, -1, -1, "<absent>"},
    {"<a>&#x;&#xG;</a>", Code::EntityUndefined, -1, -1, "<absent>"},
    {"<a>\n&#256;</a>", Code::CharacterAbove255, 2, 9},
    {"<a v='&#x100;'/>", Code::CharacterAbove255},
    {"<a>&#99999999999999999999;</a>", Code::CharacterAbove255},
    // texts are decoded when the next tag starts, so the position is just
    // after the "</" that ends the text
    {"<a>\n  <b>x &bogus; y</b>\n</a>", Code::EntityUndefined, 2, 19},
    {"<a>\n\xC3\xA9\xE2\x82\xAC<b>", Code::EndTagMissing, 2, 6},  // characters, not bytes
    // verbatim blocks left open
    {"<a><!-- x</a>", Code::VerbatimBlockUnclosed, -1, -1, "<absent>"},
    {"<a><![CDATA[x</a>", Code::VerbatimBlockUnclosed, -1, -1, "<absent>"},
    {"<a><!DOCTYPE x</a", Code::VerbatimBlockUnclosed, -1, -1, "<absent>"},
    {"<a><!DOCTYPE [ <x></a>", Code::VerbatimBlockUnclosed, -1, -1, "<absent>"},
    {"<a><PRE>x</pre></a>", Code::VerbatimBlockUnclosed, -1, -1, "<absent>"},
    // text after a stray top-level end tag is not read
    {"<a/></x><b/>", Code::EndTagMissing, -1, -1, "<a/>"},
    // root tag: deeper than one level below the top is not found
    {"<a>\n<b><RDService/></b></a>", Code::RootTagNotFound, 0, 0, "<absent>", "RDService"},
    {"no element here", Code::RootTagNotFound, -1, -1, nullptr, "RDService"},
    {"no element here", Code::NoElement, -1, -1, nullptr, ""},
    // a multi-byte sequence cut by the end of the input
    {"<a>\xE2\x82", Code::EndTagMissing},
    {"<a\xF0", Code::EndTagMissing},
    {"\"\xC3", Code::NoElement},
};

}  // namespace

TEST(XmlParser, StatusAndTreeOfEachInput) {
    for (const StatusRow& row : kStatusRows) {
        SCOPED_TRACE(std::string(row.text) + (row.rootTag ? " root " : "") +
                     (row.rootTag ? row.rootTag : ""));
        expectParsed(parse(row.text, row.rootTag), row.code, row.line, row.column, row.tree);
    }
}

// --- elements and end tags ---------------------------------------------------

TEST(XmlParser, EmptyElementForms) {
    for (const char* text : {"<a/>", "<a></a>", "<a>"}) {
        const Parsed parsed = parse(text);
        ASSERT_STREQ("a", parsed.node.name()) << text;
        EXPECT_EQ(0, parsed.node.itemCount()) << text;
        EXPECT_EQ(nullptr, xmlBodyOf(parsed.node)->parent) << text;
    }
}

TEST(XmlParser, ErrorsBeforeTheFirstElementReportNoElement) {
    const Parsed parsed = parse("<>");
    EXPECT_EQ(XmlParseCode::NoElement, parsed.status.code);
    EXPECT_FALSE(parsed.node.isEmpty());
}

TEST(XmlParser, NoElementGivesCode2AndTheDocumentNode) {
    const Parsed parsed = parse("  just text\n");
    EXPECT_EQ(XmlParseCode::NoElement, parsed.status.code);
    EXPECT_EQ(2, parsed.status.line);
    EXPECT_EQ(1, parsed.status.column);
    EXPECT_EQ(nullptr, parsed.node.name());
    EXPECT_EQ(1, xmlBodyOf(parsed.node)->textCount());
    EXPECT_EQ("just text", text(parsed.node, 0));
}

TEST(XmlParser, MissingTextGivesCode9) {
    XmlParseStatus status;
    status.line = 7;
    EXPECT_TRUE(parseXmlText(nullptr, &status, nullptr).isEmpty());
    EXPECT_EQ(XmlParseCode::TextMissing, status.code);
    EXPECT_EQ(0, status.line);
    EXPECT_EQ(0, status.column);
}

TEST(XmlParser, StatusMayBeAbsent) {
    EXPECT_STREQ("a", parseXmlText("<a/>", nullptr, nullptr).name());
    EXPECT_TRUE(parseXmlText("<a></b>", nullptr, "a").isEmpty());
    EXPECT_TRUE(parseXmlText(nullptr, nullptr, nullptr).isEmpty());
}

// --- start tags and attributes -----------------------------------------------

TEST(XmlParser, AttributesWithAndWithoutValues) {
    const Parsed parsed = parse("<a b c='2' d=3 e = \"4\"/>");
    ASSERT_EQ(XmlParseCode::None, parsed.status.code);
    ASSERT_EQ(4, xmlBodyOf(parsed.node)->attributeCount());
    EXPECT_STREQ("b", xmlBodyOf(parsed.node)->attributes[0].name.get());
    EXPECT_EQ(nullptr, parsed.node.attributeValue("b"));
    EXPECT_STREQ("2", parsed.node.attributeValue("c"));
    EXPECT_STREQ("3", parsed.node.attributeValue("d"));
    EXPECT_STREQ("4", parsed.node.attributeValue("E"));
}

// Attribute values as stored: a quoted value keeps ">" and blanks, an empty
// character reference ends the string, a declaration's value loses the "?".
TEST(XmlParser, AttributeValues) {
    for (const auto& [text, name, value] :
         {std::tuple("<a v=\"x > y\" w='say \"hi\"'/>", "v", "x > y"),
          std::tuple("<a v=\"x > y\" w='say \"hi\"'/>", "w", "say \"hi\""),
          std::tuple("<a v='x&#;y'/>", "v", "x"), std::tuple("<a v='x&#x;y'/>", "v", "x"),
          std::tuple("<?xml version=1.0?><a/>", "version", "1.0")}) {
        EXPECT_STREQ(value, parse(text).node.attributeValue(name)) << text;
    }
}

TEST(XmlParser, DuplicateAttributesAreKeptAndTheFirstIsFound) {
    const Parsed parsed = parse("<a k=1 K=2/>");
    EXPECT_STREQ("1", parsed.node.attributeValue("k"));
    int cursor = 0;
    EXPECT_STREQ("1", parsed.node.attributeValue("k", &cursor));
    EXPECT_EQ(1, cursor);
    EXPECT_STREQ("2", parsed.node.attributeValue("k", &cursor));
    EXPECT_EQ(2, cursor);
    EXPECT_EQ(nullptr, parsed.node.attributeValue("k", &cursor));
    EXPECT_EQ(2, cursor);
}

TEST(XmlParser, NamesAreCopiedWithoutDecoding) {
    const Parsed parsed = parse("<a&amp;b x&lt;=1/>");
    EXPECT_STREQ("a&amp;b", parsed.node.name());
    EXPECT_STREQ("x&lt;", xmlBodyOf(parsed.node)->attributes[0].name.get());
}

// --- entities and character references ---------------------------------------

TEST(XmlParser, EntitiesAndCharacterReferencesAreDecoded) {
    const Parsed parsed =
        parse("<a v='&amp;&lt;&gt;&quot;&apos;'>&AMP; &#65;&#x41;&#X4a;&#x6B; &Lt;</a>");
    ASSERT_EQ(XmlParseCode::None, parsed.status.code);
    EXPECT_STREQ("&<>\"'", parsed.node.attributeValue("v"));
    EXPECT_EQ("& AAJk <", text(parsed.node, 0));
}

TEST(XmlParser, CharacterReferenceToByte255IsOneRawByte) {
    EXPECT_EQ("\xFF", text(parse("<a>&#255;</a>").node, 0));
}

// --- texts -------------------------------------------------------------------

TEST(XmlParser, TextsAreTrimmedAndBlankTextsDropped) {
    const Parsed parsed = parse("<a>  x  <b/>\n\t \r\n<c/> y\tz </a>");
    ASSERT_EQ(2, xmlBodyOf(parsed.node)->textCount());
    EXPECT_EQ("x", text(parsed.node, 0));
    EXPECT_EQ("y\tz", text(parsed.node, 1));
    EXPECT_EQ("<a>x<b/><c/>y\tz</a>", compact(parsed.node));
}

TEST(XmlParser, StrayPunctuationInContentIsText) {
    EXPECT_EQ("a = b > c / d", text(parse("<r>a = b > c / d</r>").node, 0));
}

TEST(XmlParser, CommentBetweenTextsIsDroppedAndTheTextsJoined) {
    const Parsed parsed = parse("<a>x <!-- note --> y</a>");
    ASSERT_EQ(1, xmlBodyOf(parsed.node)->textCount());
    EXPECT_EQ(0, xmlBodyOf(parsed.node)->blockCount());
    EXPECT_EQ("xy", text(parsed.node, 0));
    EXPECT_EQ(1u, xmlBodyOf(parsed.node)->order.size());
}

TEST(XmlParser, CommentBeforeTheFirstTextIsKept) {
    const Parsed parsed = parse("<a><!-- note -->y</a>");
    ASSERT_EQ(1, xmlBodyOf(parsed.node)->blockCount());
    EXPECT_STREQ(" note ", xmlBodyOf(parsed.node)->blocks[0].content.get());
    EXPECT_EQ(kXmlVerbatimRows[kXmlCommentRow].opener, xmlBodyOf(parsed.node)->blocks[0].opener);
    EXPECT_EQ("y", text(parsed.node, 0));
    EXPECT_EQ("<a><!-- note -->y</a>", compact(parsed.node));
}

TEST(XmlParser, OtherBlocksDoNotJoinTexts) {
    const Parsed parsed = parse("<a>x<![CDATA[c]]>y</a>");
    EXPECT_EQ(2, xmlBodyOf(parsed.node)->textCount());
    EXPECT_EQ(1, xmlBodyOf(parsed.node)->blockCount());
}

// --- verbatim blocks ---------------------------------------------------------

TEST(XmlParser, CdataIsKeptRaw) {
    const Parsed parsed = parse("<a><![CDATA[<b>&]]></a>");
    ASSERT_EQ(XmlParseCode::None, parsed.status.code);
    ASSERT_EQ(1, xmlBodyOf(parsed.node)->blockCount());
    const XmlVerbatimBlock& block = xmlBodyOf(parsed.node)->blocks[0];
    EXPECT_STREQ("<b>&", block.content.get());
    EXPECT_STREQ("<![CDATA[", block.opener);
    EXPECT_STREQ("]]>", block.closer);
    EXPECT_EQ(0, parsed.node.childCount());
}

TEST(XmlParser, EmptyCommentStoresNothing) {
    const Parsed parsed = parse("<a><!----></a>");
    EXPECT_EQ(XmlParseCode::None, parsed.status.code);
    EXPECT_EQ(0, parsed.node.itemCount());
}

TEST(XmlParser, DoctypeEndsAtGreaterThanOrAfterItsInternalSubset) {
    Parsed parsed = parse("<!DOCTYPE html><html/>");
    ASSERT_EQ(1, xmlBodyOf(parsed.node)->blockCount());
    EXPECT_STREQ(" html", xmlBodyOf(parsed.node)->blocks[0].content.get());
    EXPECT_STREQ(">", xmlBodyOf(parsed.node)->blocks[0].closer);

    parsed = parse("<!DOCTYPE d [ <!ENTITY e \"x\"> ]><d/>");
    ASSERT_EQ(XmlParseCode::None, parsed.status.code);
    ASSERT_EQ(1, xmlBodyOf(parsed.node)->blockCount());
    EXPECT_STREQ(" d [ <!ENTITY e \"x\"> ", xmlBodyOf(parsed.node)->blocks[0].content.get());
    EXPECT_STREQ("]>", xmlBodyOf(parsed.node)->blocks[0].closer);
    EXPECT_EQ(1, parsed.node.childCount());
}

TEST(XmlParser, LowerCaseDoctypeIsAnElement) {
    const Parsed parsed = parse("<a><!doctype x/></a>");
    ASSERT_EQ(1, parsed.node.childCount());
    EXPECT_STREQ("!doctype", parsed.node.childAt(0).name());
    EXPECT_EQ(0, xmlBodyOf(parsed.node)->blockCount());
}

TEST(XmlParser, PreBlockIsKeptRawAndIsCaseSensitive) {
    Parsed parsed = parse("<a><PRE> <b>&x</b> </PRE></a>");
    ASSERT_EQ(XmlParseCode::None, parsed.status.code);
    EXPECT_STREQ(" <b>&x</b> ", xmlBodyOf(parsed.node)->blocks[0].content.get());
    parsed = parse("<a><pre>x</pre></a>");
    EXPECT_STREQ("pre", parsed.node.childAt(0).name());
}

// --- declarations and the document node --------------------------------------

TEST(XmlParser, TopLevelDeclarationHoldsTheRestOfTheDocument) {
    const Parsed parsed = parse("<?xml version=\"1.0\"?><a/>");
    ASSERT_EQ(XmlParseCode::None, parsed.status.code);
    EXPECT_STREQ("xml", parsed.node.name());
    EXPECT_TRUE(parsed.node.isDeclaration());
    EXPECT_STREQ("1.0", parsed.node.attributeValue("version"));
    EXPECT_EQ(1, xmlBodyOf(parsed.node)->attributeCount());
    EXPECT_EQ(2, parsed.node.itemCount());
    ASSERT_EQ(1, parsed.node.childCount());
    EXPECT_STREQ("a", parsed.node.childAt(0).name());
}

TEST(XmlParser, RootTagSkipsTheDeclaration) {
    const Parsed parsed = parse("<?xml version=\"1.0\" encoding='UTF-8' ?>\n<a x='1'/>", "a");
    ASSERT_EQ(XmlParseCode::None, parsed.status.code);
    EXPECT_STREQ("a", parsed.node.name());
    EXPECT_STREQ("1", parsed.node.attributeValue("x"));
}

TEST(XmlParser, NestedDeclarationClosesAtOnce) {
    const Parsed parsed = parse("<a><?pi data?><b/></a>");
    ASSERT_EQ(XmlParseCode::None, parsed.status.code);
    ASSERT_EQ(2, parsed.node.childCount());
    const XmlNodeRef pi = parsed.node.childAt(0);
    EXPECT_TRUE(pi.isDeclaration());
    EXPECT_STREQ("pi", pi.name());
    EXPECT_EQ(1, pi.itemCount());
    EXPECT_STREQ("data", xmlBodyOf(pi)->attributes[0].name.get());
    EXPECT_STREQ("b", parsed.node.childAt(1).name());
}

TEST(XmlParser, SeveralTopItemsGiveTheNamelessDocumentNode) {
    Parsed parsed = parse("<a/><b/>");
    EXPECT_EQ(XmlParseCode::None, parsed.status.code);
    EXPECT_EQ(nullptr, parsed.node.name());
    EXPECT_FALSE(parsed.node.isEmpty());
    EXPECT_EQ(2, parsed.node.childCount());
    EXPECT_EQ(xmlBodyOf(parsed.node), xmlBodyOf(parsed.node.childAt(1))->parent);

    parsed = parse("<!-- c --><a/>");
    EXPECT_EQ(nullptr, parsed.node.name());
    EXPECT_EQ(1, parsed.node.childCount());
    EXPECT_EQ(1, xmlBodyOf(parsed.node)->blockCount());

    parsed = parse("text<a/>");
    EXPECT_EQ(nullptr, parsed.node.name());
}

// --- root tag ----------------------------------------------------------------

TEST(XmlParser, RootTagMatchesTheTopElementIgnoringCase) {
    for (const char* text : {"<RDService status='READY'/>", "<rdservice status='READY'/>",
                             "<RDSERVICE status='READY'></RDSERVICE>"}) {
        const Parsed parsed = parse(text, "RDService");
        EXPECT_EQ(XmlParseCode::None, parsed.status.code) << text;
        EXPECT_STREQ("READY", parsed.node.attributeValue("status")) << text;
    }
}

TEST(XmlParser, RootTagIsFoundOneLevelBelowTheTop) {
    Parsed parsed = parse("<env><head/><RDService info='x'/></env>", "RDService");
    EXPECT_EQ(XmlParseCode::None, parsed.status.code);
    EXPECT_STREQ("x", parsed.node.attributeValue("info"));
    EXPECT_EQ(nullptr, xmlBodyOf(parsed.node)->parent);

    parsed = parse("<a/><RDService info='y'/>", "RDService");
    EXPECT_STREQ("y", parsed.node.attributeValue("info"));
}

TEST(XmlParser, RootTagIsAppliedToRecoveredTrees) {
    Parsed parsed = parse("<RDService info='z'>", "RDService");
    EXPECT_EQ(XmlParseCode::EndTagMissing, parsed.status.code);
    EXPECT_STREQ("z", parsed.node.attributeValue("info"));
}

// --- trees outliving their input ----------------------------------------------

TEST(XmlParser, TreeDoesNotReferToTheInput) {
    std::string input = "<a v='value'>text<b/></a>";
    const Parsed parsed = parse(input.c_str());
    input.assign(input.size(), 'x');
    EXPECT_STREQ("value", parsed.node.attributeValue("v"));
    EXPECT_EQ("text", text(parsed.node, 0));
    EXPECT_STREQ("b", parsed.node.childAt(0).name());
}

TEST(XmlParser, DeepNestingDoesNotExhaustTheStack) {
    std::string input;
    const int depth = 50000;
    for (int i = 0; i < depth; ++i) input += "<a>";
    const Parsed parsed = parse(input.c_str());
    EXPECT_EQ(XmlParseCode::EndTagMissing, parsed.status.code);
    EXPECT_EQ(static_cast<std::size_t>(depth) * 7 - 3,  // <a>...<a/>...</a>
              parsed.node.serialize(false).size());
}
