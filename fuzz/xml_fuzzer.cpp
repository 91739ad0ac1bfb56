// libFuzzer target for the XML reader and writer: parses the input as a text
// without and with a root tag, and as the bytes of a file (the UTF-16 test
// and converter), queries and writes every tree that comes back, formatted and
// compact, and parses the compact text again. Traps when a result breaks the
// parser's contract (empty node exactly for the failing codes, positions for
// the located codes), when a written length disagrees with its text, or when
// writing, reading and writing again does not settle on the same text.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/text_encoding.h"
#include "xml/xml_node_body.h"
#include "xml/xml_parser.h"
#include "xml/xml_writer.h"

namespace {

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

std::string write(const XmlNodeRef& node, bool formatted) {
    const std::string text = node.serialize(formatted);
    check(!node.isEmpty() || text.empty());
    check(std::strlen(text.c_str()) == text.size());  // stored strings never hold a NUL
    return text;
}

void query(XmlNodeRef node) {
    node.findChild("RDService");
    node.findChild("");
    for (int i = 0; i <= node.childCount(); ++i) {
        const XmlNodeRef child = node.childAt(i);
        check(child.isEmpty() == (i == node.childCount()));
    }
    if (const XmlNodeBody* body = xmlBodyOf(node)) {
        for (const XmlAttr& attribute : body->attributes) {
            check(attribute.name != nullptr);
            int cursor = 0;
            node.attributeValue(attribute.name.get(), &cursor);
            check(cursor >= 1);
        }
        check(body->order.size() ==
              body->children.size() + body->texts.size() + body->blocks.size());
    }
}

XmlNodeRef parseChecked(const char* text, const char* rootTag) {
    XmlParseStatus status;
    XmlNodeRef node = parseXmlText(text, &status, rootTag);
    const XmlParseCode code = status.code;
    const bool keepsTree = code == XmlParseCode::None || code == XmlParseCode::EndTagMissing ||
                           code == XmlParseCode::NoElement;
    check(node.isEmpty() == !keepsTree);
    if (code == XmlParseCode::None || code == XmlParseCode::RootTagNotFound) {
        check(status.line == 0 && status.column == 0);
    } else {
        check(status.line >= 1 && status.column >= 1);
    }
    return node;
}

// Trees whose text reads back as the same kinds of items: no declarations
// (one without attributes is written "<?name?>", which reads back named
// "name?") and no element names that start like another token ("< ?x/>" and
// "< !--x/>" hold elements named "?x" and "!--x", written back without the blank).
bool writesBackAlike(const XmlNodeRef& node) {
    std::vector<XmlNodeRef> pending{node};
    while (!pending.empty()) {
        const XmlNodeRef current = pending.back();
        pending.pop_back();
        if (current.isDeclaration()) return false;
        const char* name = current.name();
        if (name != nullptr && std::strchr("?!/", name[0]) != nullptr) return false;
        for (int i = 0; i < current.childCount(); ++i) pending.push_back(current.childAt(i));
    }
    return true;
}

// Writing what was read must settle: the second round trip reproduces the
// text of the first (the first may still normalise, e.g. join adjacent texts).
void checkRoundTrip(const XmlNodeRef& node) {
    if (!writesBackAlike(node)) return;
    const std::string first = write(node, false);
    XmlParseStatus status;
    const XmlNodeRef again = parseXmlText(first.c_str(), &status, nullptr);
    if (status.code != XmlParseCode::None) return;
    const std::string second = write(again, false);
    const XmlNodeRef third = parseXmlText(second.c_str(), &status, nullptr);
    check(status.code == XmlParseCode::None);
    check(write(third, false) == second);
}

void exercise(const char* text) {
    for (const char* rootTag : {static_cast<const char*>(nullptr), "RDService", "a"}) {
        XmlNodeRef node = parseChecked(text, rootTag);
        query(node);
        write(node, true);
        if (rootTag == nullptr) checkRoundTrip(node);
        node.setAttribute("fuzz", "<&>");
        write(node, false);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);  // ends at a NUL
    exercise(text.c_str());

    if (platform::isUtf16Text(data, size)) {
        const std::size_t skip = (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) ? 2 : 0;
        std::string converted;
        if (platform::utf16LeToUtf8(data + skip, size - skip, converted)) {
            check(std::strlen(converted.c_str()) == converted.size());
            exercise(converted.c_str());
        }
    }
    return 0;
}
