#include "xml/xml_node.h"

#include <gtest/gtest.h>

#include <utility>

#include "xml_test_util.h"

using xml_test::compact;
using xml_test::parse;

TEST(XmlNode, DefaultHandleIsTheEmptyNode) {
    const XmlNodeRef node;
    EXPECT_TRUE(node.isEmpty());
    EXPECT_TRUE(XmlNodeRef::emptyNode().isEmpty());
    EXPECT_EQ(nullptr, node.name());
    EXPECT_FALSE(node.isDeclaration());
    EXPECT_EQ(0, node.childCount());
    EXPECT_EQ(0, node.itemCount());
    EXPECT_TRUE(node.childAt(0).isEmpty());
    EXPECT_TRUE(node.findChild("a").isEmpty());
    EXPECT_EQ(nullptr, node.attributeValue("a"));
    EXPECT_EQ(nullptr, xmlBodyOf(node));
}

TEST(XmlNode, SetAttributeOnTheEmptyNodeDoesNothing) {
    XmlNodeRef node;
    node.setAttribute("a", "1");
    EXPECT_TRUE(node.isEmpty());
}

TEST(XmlNode, MakeRootNodeCopiesTheName) {
    char name[] = "opts";
    const XmlNodeRef node = makeRootNode(name);
    name[0] = 'x';
    EXPECT_STREQ("opts", node.name());
    EXPECT_FALSE(node.isDeclaration());
    EXPECT_EQ(0, node.itemCount());
    EXPECT_EQ(nullptr, xmlBodyOf(node)->parent);
    EXPECT_EQ(1, xmlBodyOf(node)->refCount);
}

TEST(XmlNode, CopiesShareTheBodyAndCountReferences) {
    XmlNodeRef first = makeRootNode("a");
    {
        XmlNodeRef second = first;
        EXPECT_EQ(xmlBodyOf(first), xmlBodyOf(second));
        EXPECT_EQ(2, xmlBodyOf(first)->refCount);
        XmlNodeRef third;
        third = second;
        EXPECT_EQ(3, xmlBodyOf(first)->refCount);
        third = third;
        EXPECT_EQ(3, xmlBodyOf(first)->refCount);
        XmlNodeRef moved = std::move(third);
        EXPECT_TRUE(third.isEmpty());
        EXPECT_EQ(3, xmlBodyOf(first)->refCount);
    }
    EXPECT_EQ(1, xmlBodyOf(first)->refCount);
    first = XmlNodeRef();
    EXPECT_TRUE(first.isEmpty());
}

TEST(XmlNode, InnerHandleKeepsItsSubtreeAliveAfterTheRootIsGone) {
    XmlNodeRef inner;
    {
        XmlNodeRef root = parse("<a><b x='1'><c/></b></a>").node;
        inner = root.childAt(0);
        EXPECT_EQ(xmlBodyOf(root), xmlBodyOf(inner)->parent);
        EXPECT_EQ(2, xmlBodyOf(inner)->refCount);
    }
    EXPECT_EQ(nullptr, xmlBodyOf(inner)->parent);
    EXPECT_EQ(1, xmlBodyOf(inner)->refCount);
    EXPECT_STREQ("1", inner.attributeValue("x"));
    EXPECT_EQ("<b x=\"1\"><c/></b>", compact(inner));
}

TEST(XmlNode, AssigningAChildToItsOwnRootIsSafe) {
    XmlNodeRef node = parse("<a><b><c/></b></a>").node;
    node = xmlBodyOf(node)->children[0];
    EXPECT_STREQ("b", node.name());
    EXPECT_EQ(nullptr, xmlBodyOf(node)->parent);
    EXPECT_STREQ("c", node.childAt(0).name());
}

TEST(XmlNode, ChildLookups) {
    const XmlNodeRef node = parse("<a><One/>t<two/><ONE k='2'/></a>").node;
    EXPECT_EQ(3, node.childCount());
    EXPECT_EQ(4, node.itemCount());
    EXPECT_STREQ("two", node.childAt(1).name());
    EXPECT_TRUE(node.childAt(3).isEmpty());
    EXPECT_TRUE(node.childAt(-1).isEmpty());
    EXPECT_EQ(xmlBodyOf(node.childAt(0)), xmlBodyOf(node.findChild("one")));
    EXPECT_TRUE(node.findChild("three").isEmpty());
    EXPECT_TRUE(node.findChild(nullptr).isEmpty());
}

TEST(XmlNode, SetAttributeReplacesTheFirstMatchAndKeepsItsName) {
    XmlNodeRef node = parse("<a Key='1' key='2'/>").node;
    node.setAttribute("KEY", "new");
    EXPECT_EQ("<a Key=\"new\" key=\"2\"/>", compact(node));
}

TEST(XmlNode, SetAttributeAppendsOneEntry) {
    XmlNodeRef node = makeRootNode("opts");
    node.setAttribute("devicemodel", "X");
    node.setAttribute("other", "");
    EXPECT_EQ(2u, xmlBodyOf(node)->attributes.capacity());
    EXPECT_STREQ("X", node.attributeValue("DeviceModel"));
    EXPECT_EQ("<opts devicemodel=\"X\" other=\"\"/>", compact(node));
}

TEST(XmlNode, SetAttributeCopiesTheValue) {
    XmlNodeRef node = makeRootNode("a");
    char value[] = "abc";
    node.setAttribute("v", value);
    value[0] = 'x';
    EXPECT_STREQ("abc", node.attributeValue("v"));
}

TEST(XmlNode, FinishedElementsAreCutToSize) {
    const XmlNodeRef node = parse("<a x='1'><b/><c/>t</a>").node;
    EXPECT_EQ(2u, xmlBodyOf(node)->children.capacity());
    EXPECT_EQ(1u, xmlBodyOf(node)->attributes.capacity());
    EXPECT_EQ(3u, xmlBodyOf(node)->order.capacity());
}

TEST(XmlNode, OrderEntriesPackKindAndIndex) {
    const XmlNodeRef node = parse("<a><b/>t<!--c--><d/></a>").node;
    const std::vector<std::int32_t> expected{
        xmlOrderEntry(kXmlItemChild, 0), xmlOrderEntry(kXmlItemText, 0),
        xmlOrderEntry(kXmlItemBlock, 0), xmlOrderEntry(kXmlItemChild, 1)};
    EXPECT_EQ(expected, xmlBodyOf(node)->order);
    EXPECT_EQ(6, xmlOrderEntry(kXmlItemText, 1));
}
