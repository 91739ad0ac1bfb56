#pragma once

#include <string>

// The node's fields; defined in xml/xml_node_body.h, which only the XML
// sources (and their white-box tests) include.
struct XmlNodeBody;

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
    // indentation, LF line ends) or compact. It never holds a NUL byte. The
    // empty node gives the empty text. (xml_writer.cpp)
    std::string serialize(bool formatted) const;

  private:
    friend struct XmlNodeAccess;
    XmlNodeBody* body_ = nullptr;
};

// A new parentless element (not a declaration) with a copy of `name` and no
// content. A null name gives a nameless node.
XmlNodeRef makeRootNode(const char* name);
