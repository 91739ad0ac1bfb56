#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

struct XmlNodeBody;

// A NUL-terminated string owned by the tree, from the general-purpose allocator.
struct XmlFreeDeleter {
    void operator()(char* text) const { std::free(text); }
};
using XmlString = std::unique_ptr<char, XmlFreeDeleter>;

// Handle to a reference-counted XML node, or to nothing (the empty node, which
// every lookup returns when it finds nothing).
//
// Copies share the node and add one to its count; assignment and destruction
// release. A handle to an inner node keeps that node and its subtree alive
// after the last handle to the root is gone (its parent link is then cleared).
//
// Thread safety: reference counts are plain integers, so a tree and every
// handle to it belong to one thread at a time. Separate trees may be used on
// different threads at once; the empty node and the static tables are shared
// read-only.
//
// Returned names and values point into the tree and live as long as the node
// that holds them.
class XmlNodeRef {
  public:
    constexpr XmlNodeRef() noexcept = default;
    XmlNodeRef(const XmlNodeRef& other) noexcept;
    XmlNodeRef(XmlNodeRef&& other) noexcept;
    XmlNodeRef& operator=(const XmlNodeRef& other) noexcept;
    XmlNodeRef& operator=(XmlNodeRef&& other) noexcept;
    ~XmlNodeRef();

    // The one static empty handle.
    static const XmlNodeRef& emptyNode();

    // Element name; nullptr for the document node and the empty node.
    const char* name() const;
    bool isEmpty() const { return body_ == nullptr; }
    // True for a node opened with "<?" (written back with "<?" and "?>").
    bool isDeclaration() const;
    // Number of child elements; 0 for the empty node.
    int childCount() const;
    // Children + texts + verbatim blocks + attributes; 0 for the empty node.
    int itemCount() const;
    // The child with that index, or the empty node when out of range.
    XmlNodeRef childAt(int index) const;
    // First child whose name equals `name` ignoring ASCII case, or the empty node.
    XmlNodeRef findChild(const char* name) const;
    // Value of the first attribute at or after `*cursor` (0 when `cursor` is
    // null) whose name equals `name` ignoring ASCII case; on a match `*cursor`
    // becomes its index + 1. nullptr when there is none, and also for an
    // attribute written without a value.
    const char* attributeValue(const char* name, int* cursor = nullptr) const;
    // Gives the first attribute named `name` (ignoring case; the stored name is
    // kept) a copy of `value`, or appends a new attribute with copies of both.
    // A null `value` makes an attribute without value. No effect on the empty node.
    void setAttribute(const char* name, const char* value);

    // Text of this node and its subtree: formatted (one item per line, TAB
    // indentation, LF line ends) or compact. The result is NUL-terminated,
    // belongs to the caller and is freed with std::free; `*length` (when
    // given) receives its length without the NUL. The empty node gives
    // nullptr and length 0, as does a failed allocation. (xml_writer.cpp)
    char* serialize(bool formatted, std::size_t* length = nullptr) const;

    // Read-only view of the node's fields; nullptr for the empty node.
    const XmlNodeBody* body() const { return body_; }

    // Takes over one reference that the caller holds on `body`.
    static XmlNodeRef adopt(XmlNodeBody* body) noexcept;
    // Gives up this handle's reference without releasing it and returns the body.
    XmlNodeBody* detach() noexcept;

  private:
    XmlNodeBody* body_ = nullptr;
};

// A new parentless element (not a declaration) with a copy of `name` and no
// content. A null name gives a nameless node.
XmlNodeRef makeRootNode(const char* name);

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

// Kinds of the entries of XmlNodeBody::order.
enum XmlItemKind : std::int32_t {
    kXmlItemChild = 0,
    kXmlItemAttribute = 1,  // attributes are not in the order array
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
    std::vector<XmlString> texts;      // decoded, trimmed texts
    std::vector<XmlVerbatimBlock> blocks;
    std::vector<XmlAttr> attributes;  // in the order read or added, duplicates kept
    std::vector<std::int32_t> order;  // children, texts and blocks in document order
    std::int32_t refCount = 1;        // handles plus the parent's hold

    std::int32_t childCount() const { return static_cast<std::int32_t>(children.size()); }
    std::int32_t textCount() const { return static_cast<std::int32_t>(texts.size()); }
    std::int32_t blockCount() const { return static_cast<std::int32_t>(blocks.size()); }
    std::int32_t attributeCount() const { return static_cast<std::int32_t>(attributes.size()); }
};

// Copies `length` bytes (or the whole text when `length` is omitted) into a
// new NUL-terminated string; null for a null `text`.
XmlString xmlCopyString(const char* text);
XmlString xmlCopyString(const char* text, std::size_t length);
