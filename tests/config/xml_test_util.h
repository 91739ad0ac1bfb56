#pragma once

#include <cstdlib>
#include <memory>
#include <string>

#include "config/xml_parser.h"
#include "config/xml_writer.h"

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

// The serialised node as a string; "<absent>" for an absent result.
inline std::string serialized(const XmlNodeRef& node, bool formatted) {
    std::size_t length = 0;
    std::unique_ptr<char, decltype(&std::free)> text(node.serialize(formatted, &length),
                                                     &std::free);
    return text != nullptr ? std::string(text.get(), length) : std::string("<absent>");
}

inline std::string compact(const XmlNodeRef& node) { return serialized(node, false); }
inline std::string formatted(const XmlNodeRef& node) { return serialized(node, true); }

inline std::string text(const XmlNodeRef& node, int index) {
    return node.body()->texts.at(static_cast<std::size_t>(index)).get();
}

}  // namespace xml_test
