#pragma once

// The inside of an XML node, shared by the model, the parser and the writer
// (xml_node.cpp, xml_parser.cpp, xml_writer.cpp) and by white-box tests. Code
// that only uses XML goes through XmlNodeRef and never includes this header.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "xml/xml_node.h"

// A NUL-terminated string owned by the tree, from the general-purpose
// allocator. Null stands for "absent" (an attribute without value, the name
// of the document node), which std::string could not tell from "".
struct XmlFreeDeleter {
    void operator()(char* text) const { std::free(text); }
};
using XmlString = std::unique_ptr<char, XmlFreeDeleter>;

// One attribute: name never null in a stored attribute; value null for an
// attribute written without '='.
struct XmlAttr {
    XmlString name;
    XmlString value;
};

// Raw content between an opener and a closer of the verbatim-block table.
// `opener` and `closer` point at the table's strings (xml_tables.h); the
// opener's identity tells a comment from the other kinds. Content is never empty.
struct XmlVerbatimBlock {
    XmlString content;
    const char* opener;
    const char* closer;
};

// Kinds of the entries of XmlNodeBody::order. Kind 1 never occurs: it
// would be an attribute, and attributes are not in the order array.
enum XmlItemKind : std::int32_t {
    kXmlItemChild = 0,
    kXmlItemText = 2,
    kXmlItemBlock = 3,
};

constexpr std::int32_t xmlOrderEntry(XmlItemKind kind, std::int32_t index) {
    return index * 4 + kind;
}
constexpr XmlItemKind xmlOrderKind(std::int32_t entry) { return XmlItemKind(entry % 4); }
constexpr std::int32_t xmlOrderIndex(std::int32_t entry) { return entry / 4; }

// The node itself. The counts are the sizes of the arrays.
struct XmlNodeBody {
    XmlString name;                    // null only for the document node
    bool isDeclaration = false;        // opened with "<?"
    XmlNodeBody* parent = nullptr;     // not owning; null for a top node
    std::vector<XmlNodeRef> children;  // each entry holds one reference (the parent's hold)
    std::vector<std::string> texts;    // decoded, trimmed texts, never holding a NUL
    std::vector<XmlVerbatimBlock> blocks;
    std::vector<XmlAttr> attributes;  // in the order read or added, duplicates kept
    std::vector<std::int32_t> order;  // children, texts and blocks in document order
    std::int32_t refCount = 1;        // handles plus the parent's hold

    std::int32_t childCount() const { return static_cast<std::int32_t>(children.size()); }
    std::int32_t textCount() const { return static_cast<std::int32_t>(texts.size()); }
    std::int32_t blockCount() const { return static_cast<std::int32_t>(blocks.size()); }
    std::int32_t attributeCount() const { return static_cast<std::int32_t>(attributes.size()); }
};

// A new string of `length` bytes plus the terminating NUL, which is already
// in place; the bytes before it are the caller's to fill. Null when the
// allocation fails.
XmlString xmlNewString(std::size_t length);

// Copies `length` bytes (or the whole text when `length` is omitted) into a
// new NUL-terminated string; null for a null `text`.
XmlString xmlCopyString(const char* text);
XmlString xmlCopyString(const char* text, std::size_t length);

// The one way into a handle's body, for the XML sources above.
struct XmlNodeAccess {
    // nullptr for the empty node.
    static XmlNodeBody* body(const XmlNodeRef& node) { return node.body_; }
    // Takes over one reference that the caller holds on `body`.
    static XmlNodeRef adopt(XmlNodeBody* body) noexcept {
        XmlNodeRef node;
        node.body_ = body;
        return node;
    }
    // Gives up the handle's reference without releasing it and returns the body.
    static XmlNodeBody* detach(XmlNodeRef& node) noexcept {
        XmlNodeBody* body = node.body_;
        node.body_ = nullptr;
        return body;
    }
};

inline XmlNodeBody* xmlBodyOf(const XmlNodeRef& node) { return XmlNodeAccess::body(node); }
