#include "xml/xml_writer.h"

#include <cstring>
#include <string>
#include <vector>

#include "xml/xml_node_body.h"
#include "xml/xml_tables.h"

namespace {

// Both passes of the writer go through one sink: the first with no buffer
// only counts, the second writes. Sharing every rule this way guarantees that
// the measured length and the written text agree.
class Sink {
  public:
    explicit Sink(char* buffer) : buffer_(buffer) {}

    void put(char c) {
        if (buffer_ != nullptr) buffer_[length_] = c;
        ++length_;
    }
    void put(const char* text) { put(text, std::strlen(text)); }
    void put(const char* text, std::size_t count) {
        if (buffer_ != nullptr) std::memcpy(buffer_ + length_, text, count);
        length_ += count;
    }
    void tabs(int count) {
        for (int i = 0; i < count; ++i) put('\t');
    }
    void encoded(const char* text) {
        length_ +=
            buffer_ != nullptr ? encodeEntities(text, buffer_ + length_) : encodedLength(text);
    }
    std::size_t length() const { return length_; }

  private:
    char* buffer_;
    std::size_t length_ = 0;
};

// Levels: 0 and up is the indentation depth of formatted output, -1 compact
// output, -2 an element whose only item is one text, written on one line.
constexpr int kCompact = -1;
constexpr int kInlineText = -2;

bool hasName(const XmlNodeBody& node) { return node.name != nullptr && node.name.get()[0] != '\0'; }

// An element on the writer's stack, with the next item of its order array.
struct OpenNode {
    const XmlNodeBody* node;
    int level;
    int innerLevel;
    int childLevel;
    std::size_t nextItem;
};

OpenNode writeStart(Sink& sink, const XmlNodeBody& node, int level) {
    const bool hasItems = !node.order.empty();
    int inner = level;
    if (level >= 0 && !node.isDeclaration && node.order.size() == 1 &&
        xmlOrderKind(node.order.front()) == kXmlItemText) {
        inner = kInlineText;
    }
    if (hasName(node)) {
        sink.tabs(level > 0 ? level : 0);
        sink.put('<');
        if (node.isDeclaration) sink.put('?');
        sink.put(node.name.get());
        for (const XmlAttr& attribute : node.attributes) {
            if (attribute.name == nullptr || attribute.name.get()[0] == '\0') continue;
            sink.put(' ');
            sink.put(attribute.name.get());
            if (attribute.value != nullptr) {
                sink.put("=\"");
                sink.encoded(attribute.value.get());
                sink.put('"');
            }
        }
        if (node.isDeclaration) {
            sink.put("?>");
            if (inner != kCompact) sink.put('\n');
        } else if (hasItems) {
            sink.put('>');
            if (inner >= 0) sink.put('\n');
        }
    }
    int childLevel = kCompact;
    if (inner >= 0) childLevel = (hasName(node) && !node.isDeclaration) ? inner + 1 : inner;
    return OpenNode{&node, level, inner, childLevel, 0};
}

void writeEnd(Sink& sink, const OpenNode& open) {
    const XmlNodeBody& node = *open.node;
    // The document node and declarations have no end tag.
    if (!hasName(node) || node.isDeclaration) return;
    if (node.order.empty()) {
        sink.put("/>");
        if (open.level != kCompact) sink.put('\n');
        return;
    }
    sink.tabs(open.innerLevel > 0 ? open.innerLevel : 0);
    sink.put("</");
    sink.put(node.name.get());
    sink.put('>');
    if (open.innerLevel != kCompact) sink.put('\n');
}

// Writes `top` and its subtree; iterative so that deep trees cannot exhaust
// the thread's stack.
void writeTree(Sink& sink, const XmlNodeBody& top, int level) {
    std::vector<OpenNode> open{writeStart(sink, top, level)};
    while (!open.empty()) {
        OpenNode& current = open.back();
        const XmlNodeBody& node = *current.node;
        if (current.nextItem == node.order.size()) {
            writeEnd(sink, current);
            open.pop_back();
            continue;
        }
        const std::int32_t entry = node.order[current.nextItem++];
        const auto index = static_cast<std::size_t>(xmlOrderIndex(entry));
        const int inner = current.innerLevel;
        switch (xmlOrderKind(entry)) {
            case kXmlItemChild: {
                const int childLevel = current.childLevel;
                open.push_back(writeStart(sink, *xmlBodyOf(node.children[index]), childLevel));
                break;  // `current` is no longer valid
            }
            case kXmlItemText: {
                const char* text = node.texts[index].c_str();
                if (encodedLength(text) == 0) break;
                if (inner >= 0) sink.tabs(inner + 1);
                sink.encoded(text);
                if (inner >= 0) sink.put('\n');
                break;
            }
            case kXmlItemBlock: {
                const XmlVerbatimBlock& block = node.blocks[index];
                if (inner >= 0) sink.tabs(inner + 1);
                sink.put(block.opener);
                sink.put(block.content.get());
                sink.put(block.closer);
                if (inner >= 0) sink.put('\n');
                break;
            }
        }
    }
}

// Runs encodeEntities' rules; `destination` null only counts.
std::size_t encode(const char* text, char* destination) {
    std::size_t count = 0;
    auto put = [&](const char* bytes, std::size_t length) {
        if (destination != nullptr) std::memcpy(destination + count, bytes, length);
        count += length;
    };
    for (const char* p = text; *p != '\0';) {
        const XmlEntity* entity = nullptr;
        for (const XmlEntity& candidate : kXmlEntities) {
            if (*p == candidate.character) entity = &candidate;
        }
        if (entity != nullptr) {
            put(entity->text, entity->length);
            ++p;
            continue;
        }
        const std::size_t announced = static_cast<std::size_t>(xmlSequenceLength(*p));
        if (xmlCharacterLength(p) < announced) {
            put("_", 1);  // the sequence runs into the end of the string
            ++p;
            continue;
        }
        put(p, announced);
        p += announced;
    }
    return count;
}

}  // namespace

std::size_t encodeEntities(const char* text, char* destination) {
    return text != nullptr && destination != nullptr ? encode(text, destination) : 0;
}

std::size_t encodedLength(const char* text) { return text != nullptr ? encode(text, nullptr) : 0; }

std::string XmlNodeRef::serialize(bool formatted) const {
    if (body_ == nullptr) return std::string();
    const int level = formatted ? 0 : kCompact;
    Sink measure(nullptr);
    writeTree(measure, *body_, level);
    // One allocation of exactly the measured size, then the writing pass.
    std::string text(measure.length(), '\0');
    Sink write(text.data());
    writeTree(write, *body_, level);
    return text;
}
