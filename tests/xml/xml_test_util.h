#pragma once

#include <gtest/gtest.h>

#include <string>

#include "xml/xml_node_body.h"
#include "xml/xml_parser.h"
#include "xml/xml_writer.h"

namespace xml_test {

// UTF-16 little-endian bytes of an ASCII text.
inline std::string utf16le(const std::string& ascii) {
    std::string bytes;
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// A parse result with its status.
struct Parsed {
    XmlNodeRef node;
    XmlParseStatus status;
};

inline Parsed parse(const char* text, const char* rootTag = nullptr) {
    Parsed parsed;
    parsed.node = parseXmlText(text, &parsed.status, rootTag);
    return parsed;
}

// The serialised node; "<absent>" for the empty node, so that an absent
// result cannot pass for an element that writes nothing.
inline std::string serialized(const XmlNodeRef& node, bool formatted) {
    return node.isEmpty() ? std::string("<absent>") : node.serialize(formatted);
}

inline std::string compact(const XmlNodeRef& node) { return serialized(node, false); }
inline std::string formatted(const XmlNodeRef& node) { return serialized(node, true); }

// Checks a parse's code, its position unless `line` is -1, and its compact
// tree when `tree` is given.
inline void expectParsed(const Parsed& parsed, XmlParseCode code, int line, int column,
                         const char* tree) {
    EXPECT_EQ(code, parsed.status.code);
    if (line >= 0) {
        EXPECT_EQ(line, parsed.status.line);
        EXPECT_EQ(column, parsed.status.column);
    }
    if (tree) {
        EXPECT_EQ(tree, compact(parsed.node));
    }
}

inline std::string text(const XmlNodeRef& node, int index) {
    return xmlBodyOf(node)->texts.at(static_cast<std::size_t>(index));
}

}  // namespace xml_test
