#include "xml/xml_parser.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "platform/text_encoding.h"
#include "xml/xml_node_body.h"
#include "xml/xml_tables.h"

namespace {

enum class TokenKind {
    Text = 0,
    QuotedText = 1,
    TagStart = 2,
    EndTagStart = 3,
    TagClose = 4,
    Equals = 5,
    DeclarationStart = 6,
    EmptyElementClose = 7,
    VerbatimBlockStart = 8,
    EndOfInput = 9,
};

struct Token {
    TokenKind kind;
    const char* start;
    std::size_t length;
    int row;  // verbatim-block row for VerbatimBlockStart
};

// Shared by every level of one parse; lives only for the call.
struct ParseState {
    const char* text;
    const char* pendingText;  // start of text not yet stored, or null
    std::size_t position;
    std::size_t missingEndTagPosition;
    XmlParseCode code;
    const char* pendingEndTag;        // an end tag that closes an outer element
    std::size_t pendingEndTagLength;  // 0: none
};

// --- building the tree -------------------------------------------------------

// While a node is being read its arrays grow geometrically (push_back), so
// that reading n items costs O(n) copies; compactNode cuts them to their exact
// size when the element is finished.

void appendOrder(XmlNodeBody& node, XmlItemKind kind, std::size_t index) {
    node.order.push_back(xmlOrderEntry(kind, static_cast<std::int32_t>(index)));
}

XmlNodeBody* appendChild(XmlNodeBody& parent, const Token& name, bool isDeclaration) {
    auto* child = new XmlNodeBody;
    child->name = xmlCopyString(name.start, name.length);
    child->isDeclaration = isDeclaration;
    child->parent = &parent;
    parent.children.push_back(XmlNodeAccess::adopt(child));
    appendOrder(parent, kXmlItemChild, parent.children.size() - 1);
    return child;
}

void appendText(XmlNodeBody& node, std::string text) {
    node.texts.push_back(std::move(text));
    appendOrder(node, kXmlItemText, node.texts.size() - 1);
}

void appendBlock(XmlNodeBody& node, XmlString content, const char* opener, const char* closer) {
    node.blocks.push_back(XmlVerbatimBlock{std::move(content), opener, closer});
    appendOrder(node, kXmlItemBlock, node.blocks.size() - 1);
}

void appendAttribute(XmlNodeBody& node, const char* name, std::size_t nameLength, XmlString value) {
    node.attributes.push_back(XmlAttr{xmlCopyString(name, nameLength), std::move(value)});
}

// Drops the node's last item, which is a block: the last entry of the order
// array and of the block array.
void dropLastBlock(XmlNodeBody& node) {
    node.order.pop_back();
    node.blocks.pop_back();
}

void compactNode(XmlNodeBody& node) {
    node.children.shrink_to_fit();
    node.texts.shrink_to_fit();
    node.blocks.shrink_to_fit();
    node.attributes.shrink_to_fit();
    node.order.shrink_to_fit();
}

// --- tokens ------------------------------------------------------------------

bool endsText(const char* p) {
    return *p == '\0' || *p == '<' || *p == '>' || *p == '=' || (p[0] == '/' && p[1] == '>');
}

// A text token from `start`; its first character is taken whatever it is and
// the scan goes on at `from`.
Token readText(ParseState& state, const char* start, const char* from) {
    const char* p = from;
    while (!endsText(p) && !isXmlWhitespace(*p)) p += xmlCharacterLength(p);
    const Token token{TokenKind::Text, start, static_cast<std::size_t>(p - start), -1};
    if (isXmlWhitespace(*p)) ++p;  // the whitespace after a text is consumed
    state.position = static_cast<std::size_t>(p - state.text);
    return token;
}

Token nextToken(ParseState& state) {
    const char* p = state.text + state.position;
    while (isXmlWhitespace(*p)) ++p;
    state.position = static_cast<std::size_t>(p - state.text);
    auto punctuation = [&](TokenKind kind, std::size_t length, int row = -1) {
        state.position += length;
        return Token{kind, p, length, row};
    };
    switch (*p) {
        case '\0':
            return Token{TokenKind::EndOfInput, p, 0, -1};
        case '<':
            for (int row = 0; row < kXmlVerbatimRowCount; ++row) {
                const XmlVerbatimRow& block = kXmlVerbatimRows[row];
                if (std::strncmp(p, block.opener, block.openerLength) == 0) {
                    return punctuation(TokenKind::VerbatimBlockStart, block.openerLength, row);
                }
            }
            if (p[1] == '/') return punctuation(TokenKind::EndTagStart, 2);
            if (p[1] == '?') return punctuation(TokenKind::DeclarationStart, 2);
            return punctuation(TokenKind::TagStart, 1);
        case '>':
            return punctuation(TokenKind::TagClose, 1);
        case '=':
            return punctuation(TokenKind::Equals, 1);
        case '/':
            if (p[1] == '>') return punctuation(TokenKind::EmptyElementClose, 2);
            break;
        case '"':
        case '\'': {
            const char* q = p + 1;
            while (*q != '\0' && *q != *p && *q != '<') q += xmlCharacterLength(q);
            if (*q == *p)
                return punctuation(TokenKind::QuotedText, static_cast<std::size_t>(q + 1 - p));
            // No closing quote before '<' or the end: a text that starts at the quote.
            return readText(state, p, p + 1);
        }
        default:
            break;
    }
    return readText(state, p, p + xmlCharacterLength(p));
}

// --- entities ----------------------------------------------------------------

int digitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') return c - '0';
    if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool startsWithIgnoreCase(const char* p, const char* prefix, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (xmlAsciiLower(p[i]) != xmlAsciiLower(prefix[i])) return false;
    }
    return true;
}

// Decodes [begin, end) into `out` (or only counts when `out` is null).
// Returns the decoded length, or sets the parse code and returns -1.
std::ptrdiff_t decodeRange(ParseState& state, const char* begin, const char* end, char* out) {
    std::ptrdiff_t count = 0;
    auto put = [&](char c) {
        if (out != nullptr) out[count] = c;
        ++count;
    };
    const char* p = begin;
    while (p < end) {
        if (*p != '&') {
            std::size_t length = xmlCharacterLength(p);
            if (length == 0) break;
            if (length > static_cast<std::size_t>(end - p))
                length = static_cast<std::size_t>(end - p);
            for (std::size_t i = 0; i < length; ++i) put(p[i]);
            p += length;
            continue;
        }
        if (end - p >= 2 && p[1] == '#') {
            const char* q = p + 2;
            const bool hex = q < end && (*q == 'x' || *q == 'X');
            if (hex) ++q;
            unsigned value = 0;
            for (;; ++q) {
                if (q >= end || *q == '\0') {
                    state.code = XmlParseCode::EntityUndefined;
                    return -1;
                }
                if (*q == ';') break;
                const int digit = digitValue(*q, hex);
                if (digit < 0) {
                    state.code = XmlParseCode::EntityUndefined;
                    return -1;
                }
                value = value * (hex ? 16u : 10u) + static_cast<unsigned>(digit);
                if (value > 255) value = 256;  // saturate: only "above 255" matters
            }
            if (value > 255) {
                state.code = XmlParseCode::CharacterAbove255;
                return -1;
            }
            put(static_cast<char>(value));
            p = q + 1;
            continue;
        }
        bool known = false;
        for (const XmlEntity& entity : kXmlEntities) {
            if (static_cast<std::size_t>(end - p) >= entity.length &&
                startsWithIgnoreCase(p, entity.text, entity.length)) {
                put(entity.character);
                p += entity.length;
                known = true;
                break;
            }
        }
        if (!known) {
            state.code = XmlParseCode::EntityUndefined;
            return -1;
        }
    }
    return count;
}

// A new string with the decoded range, or null (code set) when it is malformed.
// "&#;" gives a byte 0, which ends the stored string there.
XmlString decodeEntities(ParseState& state, const char* begin, const char* end) {
    const std::ptrdiff_t length = decodeRange(state, begin, end, nullptr);
    if (length < 0) return nullptr;
    XmlString text = xmlNewString(static_cast<std::size_t>(length));
    if (text != nullptr) decodeRange(state, begin, end, text.get());
    return text;
}

// --- texts and verbatim blocks -----------------------------------------------

bool isCommentBlock(const XmlVerbatimBlock& block) {
    return block.opener == kXmlVerbatimRows[kXmlCommentRow].opener;
}

// Stores the pending text up to `upTo`, trimmed and decoded. A text that
// follows a comment which itself follows a text is joined to that text and the
// comment dropped, so that a comment inside a sentence does not split it.
bool flushPendingText(ParseState& state, XmlNodeBody& node, const char* upTo) {
    if (state.pendingText == nullptr) return true;
    const char* start = state.pendingText;
    while (start < upTo && isXmlWhitespace(*start)) ++start;
    if (start >= upTo) {
        state.pendingText = nullptr;
        return true;
    }
    const char* end = upTo;
    while (end > start && isXmlWhitespace(end[-1])) --end;
    XmlString text = decodeEntities(state, start, end);
    if (text == nullptr) return false;
    state.pendingText = nullptr;

    const std::size_t items = node.order.size();
    if (node.textCount() >= 1 && node.blockCount() >= 1 && items >= 2) {
        const std::int32_t last = node.order[items - 1];
        const std::int32_t before = node.order[items - 2];
        if (xmlOrderKind(last) == kXmlItemBlock &&
            isCommentBlock(node.blocks[static_cast<std::size_t>(xmlOrderIndex(last))]) &&
            xmlOrderKind(before) == kXmlItemText) {
            dropLastBlock(node);
            // std::string appends grow geometrically, so a long run of
            // comment-separated pieces joins in linear time.
            node.texts[static_cast<std::size_t>(xmlOrderIndex(before))] += text.get();
            return true;
        }
    }
    appendText(node, text.get());  // a decoded "&#;" ends the text there
    return true;
}

// Reads a block whose opener has just been consumed; its content is kept raw.
bool parseVerbatimBlock(ParseState& state, XmlNodeBody& node, int row) {
    const char* contentStart = state.text + state.position;
    const char* contentEnd = nullptr;
    const char* closer = kXmlVerbatimRows[row].closer;
    if (row == kXmlDoctypeRow) {
        for (const char* p = contentStart;; p += xmlCharacterLength(p)) {
            if (*p == '\0') break;
            if (*p == '>') {
                contentEnd = p;
                break;
            }
            if (*p == '<') {  // an internal subset: the block ends at "]>"
                closer = kXmlDoctypeSubsetCloser;
                contentEnd = std::strstr(contentStart, closer);
                break;
            }
        }
    } else {
        contentEnd = std::strstr(contentStart, closer);
    }
    if (contentEnd == nullptr) {
        state.code = XmlParseCode::VerbatimBlockUnclosed;
        return false;
    }
    state.position = static_cast<std::size_t>(contentEnd - state.text) + std::strlen(closer);
    if (contentEnd > contentStart) {
        appendBlock(
            node, xmlCopyString(contentStart, static_cast<std::size_t>(contentEnd - contentStart)),
            kXmlVerbatimRows[row].opener, closer);
    }
    return true;
}

// --- elements ----------------------------------------------------------------

// A node's name matches an end tag at `tag` when it equals the tag's first
// bytes ignoring ASCII case and the tag's name ends right there.
bool nameMatches(const XmlNodeBody& node, const char* tag) {
    const char* name = node.name.get();
    if (name == nullptr) return false;
    std::size_t i = 0;
    for (; name[i] != '\0'; ++i) {
        if (xmlAsciiLower(name[i]) != xmlAsciiLower(tag[i])) return false;
    }
    const char after = tag[i];
    return isXmlWhitespace(after) || after == '/' || after == '<' || after == '>' || after == '=';
}

enum class Mode { ExpectingName, AfterName, AfterEquals, Content };

// One open element: tag mode while its start tag is read, then content mode.
struct Frame {
    XmlNodeBody* node;
    Mode mode;
    const char* name;  // attribute name remembered in tag mode
    std::size_t nameLength;
};

// What one token did to the innermost open element.
enum class Step { Stay, Closed, Stop };

Step stop(ParseState& state, XmlParseCode code) {
    state.code = code;
    return Step::Stop;
}

const char* currentPosition(const ParseState& state) { return state.text + state.position; }

// Tag mode, expecting an attribute name or the end of the start tag.
Step readAttributeName(ParseState& state, Frame& frame, const Token& token) {
    if (token.kind == TokenKind::Text) {
        frame.name = token.start;
        frame.nameLength = token.length;
        frame.mode = Mode::AfterName;
        return Step::Stay;
    }
    if (token.kind == TokenKind::TagClose) {
        state.pendingText = currentPosition(state);
        frame.mode = Mode::Content;
        return Step::Stay;
    }
    if (token.kind == TokenKind::EmptyElementClose) {
        compactNode(*frame.node);
        state.pendingText = currentPosition(state);
        return Step::Closed;
    }
    return stop(state, XmlParseCode::TokenUnexpected);
}

// Tag mode after an attribute name: another name, "=", or the end of the tag.
Step readAfterAttributeName(ParseState& state, Frame& frame, const Token& token) {
    XmlNodeBody& node = *frame.node;
    if (token.kind == TokenKind::Text) {
        appendAttribute(node, frame.name, frame.nameLength, nullptr);
        frame.name = token.start;
        frame.nameLength = token.length;
        return Step::Stay;
    }
    if (token.kind == TokenKind::Equals) {
        frame.mode = Mode::AfterEquals;
        return Step::Stay;
    }
    if (token.kind != TokenKind::TagClose && token.kind != TokenKind::EmptyElementClose) {
        return stop(state, XmlParseCode::TokenUnexpected);
    }
    state.pendingText = currentPosition(state);
    bool closeNow = token.kind == TokenKind::EmptyElementClose;
    if (node.isDeclaration && frame.nameLength > 0 && frame.name[frame.nameLength - 1] == '?') {
        --frame.nameLength;
        // Only a top-level declaration stays open and holds the rest of the
        // document; a nested one ends at "?>".
        if (node.parent != nullptr && node.parent->parent != nullptr) closeNow = true;
    }
    if (frame.nameLength > 0) appendAttribute(node, frame.name, frame.nameLength, nullptr);
    if (!closeNow) {
        frame.mode = Mode::Content;
        return Step::Stay;
    }
    compactNode(node);
    return Step::Closed;
}

// Tag mode after "=": the attribute's value, quoted or not.
Step readAttributeValue(ParseState& state, Frame& frame, const Token& token) {
    if (token.kind != TokenKind::Text && token.kind != TokenKind::QuotedText) {
        return stop(state, XmlParseCode::TokenUnexpected);
    }
    const char* value = token.start;
    std::size_t length = token.length;
    if (frame.node->isDeclaration && length > 0 && value[length - 1] == '?') --length;
    if (token.kind == TokenKind::QuotedText) {
        ++value;
        length -= 2;
    }
    XmlString decoded = decodeEntities(state, value, value + length);
    if (decoded == nullptr) return Step::Stop;
    appendAttribute(*frame.node, frame.name, frame.nameLength, std::move(decoded));
    frame.mode = Mode::ExpectingName;
    return Step::Stay;
}

// Content mode: a child element opens (pushed onto `open`), an end tag closes
// this element, a verbatim block is stored; any other token is part of the
// text that is flushed next.
Step readContent(ParseState& state, std::vector<Frame>& open, const XmlNodeBody* document,
                 const Token& token) {
    XmlNodeBody& node = *open.back().node;
    if (token.kind == TokenKind::TagStart || token.kind == TokenKind::DeclarationStart) {
        if (!flushPendingText(state, node, token.start)) return Step::Stop;
        const Token name = nextToken(state);
        if (name.kind != TokenKind::Text) return stop(state, XmlParseCode::TagNameMissing);
        XmlNodeBody* child = appendChild(node, name, token.kind == TokenKind::DeclarationStart);
        open.push_back(Frame{child, Mode::ExpectingName, nullptr, 0});
        return Step::Stay;
    }
    if (token.kind == TokenKind::EndTagStart) {
        if (!flushPendingText(state, node, token.start)) return Step::Stop;
        const Token name = nextToken(state);
        if (name.kind != TokenKind::Text || nextToken(state).kind != TokenKind::TagClose) {
            return stop(state, XmlParseCode::EndTagNameMissing);
        }
        state.pendingText = currentPosition(state);
        if (!nameMatches(node, name.start)) {
            // Recover: this element ends here and the end tag closes outer
            // elements up to the one of its name.
            state.code = XmlParseCode::EndTagMissing;
            state.missingEndTagPosition = state.position;
            state.pendingEndTag = name.start;
            state.pendingEndTagLength = name.length;
        }
        if (&node != document) compactNode(node);
        return Step::Closed;
    }
    if (token.kind == TokenKind::VerbatimBlockStart) {
        if (!flushPendingText(state, node, token.start)) return Step::Stop;
        if (!parseVerbatimBlock(state, node, token.row)) return Step::Stop;
        state.pendingText = currentPosition(state);
    }
    return Step::Stay;
}

// The innermost element is finished. A pending end tag closes its ancestors
// too, up to and including the first one of that name.
Step closeElement(ParseState& state, std::vector<Frame>& open, const XmlNodeBody* document) {
    open.pop_back();
    while (!open.empty() && state.pendingEndTagLength != 0) {
        XmlNodeBody& outer = *open.back().node;
        if (&outer == document) return stop(state, XmlParseCode::EndTagUnmatched);
        if (nameMatches(outer, state.pendingEndTag)) {
            state.pendingEndTag = nullptr;
            state.pendingEndTagLength = 0;
        }
        compactNode(outer);
        open.pop_back();
    }
    return Step::Stay;
}

// The input ended inside `node`: an element (not a declaration, not the
// document) misses its end tag; the trailing text is kept.
void endOfInput(ParseState& state, XmlNodeBody& node, const XmlNodeBody* document) {
    if (!node.isDeclaration && &node != document) {
        state.code = XmlParseCode::EndTagMissing;
        state.missingEndTagPosition = state.position;
    }
    flushPendingText(state, node, currentPosition(state));
}

Step readToken(ParseState& state, std::vector<Frame>& open, const XmlNodeBody* document,
               const Token& token) {
    Frame& frame = open.back();
    switch (frame.mode) {
        case Mode::ExpectingName:
            return readAttributeName(state, frame, token);
        case Mode::AfterName:
            return readAfterAttributeName(state, frame, token);
        case Mode::AfterEquals:
            return readAttributeValue(state, frame, token);
        case Mode::Content:
            return readContent(state, open, document, token);
    }
    return Step::Stop;
}

// Reads elements into `document` until the input ends, an error stops the
// parse, or the document itself is closed by a stray end tag. Open elements
// are kept on an explicit stack rather than the thread's stack, so deep
// nesting needs memory but cannot overflow the stack of a worker thread.
// A failure anywhere ends the whole parse, with the code in `state`.
void parseDocument(ParseState& state, XmlNodeBody* document) {
    std::vector<Frame> open{Frame{document, Mode::Content, nullptr, 0}};
    while (!open.empty()) {
        const Token token = nextToken(state);
        if (token.kind == TokenKind::EndOfInput)
            return endOfInput(state, *open.back().node, document);
        Step step = readToken(state, open, document, token);
        if (step == Step::Closed) step = closeElement(state, open, document);
        if (step == Step::Stop) return;
    }
}

// 1-based line and column of `position`; a multi-byte character is one column.
void locateError(const char* text, std::size_t position, XmlParseStatus& status) {
    std::int32_t line = 1;
    std::int32_t column = 1;
    const char* end = text + position;
    for (const char* p = text; p < end && *p != '\0';) {
        if (*p == '\n') {
            ++line;
            column = 1;
            ++p;
        } else {
            ++column;
            p += xmlCharacterLength(p);
        }
    }
    status.line = line;
    status.column = column;
}

void setStatus(XmlParseStatus* status, XmlParseCode code) {
    if (status == nullptr) return;
    status->code = code;
    status->line = 0;
    status->column = 0;
}

}  // namespace

XmlNodeRef parseXmlText(const char* text, XmlParseStatus* status, const char* rootTag) {
    if (text == nullptr) {
        setStatus(status, XmlParseCode::TextMissing);
        return XmlNodeRef::emptyNode();
    }
    XmlNodeRef document = XmlNodeAccess::adopt(new XmlNodeBody);
    XmlNodeBody& body = *xmlBodyOf(document);
    ParseState state{text, text, 0, 0, XmlParseCode::None, nullptr, 0};
    parseDocument(state, &body);

    XmlParseCode code = state.code;
    if (body.children.empty()) code = XmlParseCode::NoElement;

    XmlNodeRef result = document;
    if (body.children.size() == 1 && body.texts.empty() && body.blocks.empty() &&
        body.attributes.empty()) {
        result = body.children.front();
    }
    document = XmlNodeRef();  // a lone top element loses its parent link here

    if (code == XmlParseCode::None || code == XmlParseCode::EndTagMissing ||
        code == XmlParseCode::NoElement) {
        if (rootTag != nullptr && rootTag[0] != '\0' &&
            (result.name() == nullptr || !xmlEqualsIgnoreCase(result.name(), rootTag))) {
            result = result.findChild(rootTag);
            if (result.isEmpty()) {
                setStatus(status, XmlParseCode::RootTagNotFound);
                return result;
            }
        }
    } else {
        result = XmlNodeRef();
    }

    if (status != nullptr) {
        setStatus(status, code);
        if (code != XmlParseCode::None) {
            locateError(
                text,
                code == XmlParseCode::EndTagMissing ? state.missingEndTagPosition : state.position,
                *status);
        }
    }
    return result;
}

XmlNodeRef parseXmlFile(const char* path, XmlParseStatus* status, const char* rootTag) {
    setStatus(status, XmlParseCode::None);
    platform::FileHandle file = platform::openFile(path, "rb");
    if (file == nullptr) {
        setStatus(status, XmlParseCode::FileNotOpened);
        return XmlNodeRef::emptyNode();
    }
    // A directory opens for reading on some systems, but its first read fails;
    // find that out before its "size" is taken for an allocation.
    if ((std::fgetc(file.get()) == EOF && std::ferror(file.get())) ||
        std::fseek(file.get(), 0, SEEK_END) != 0) {
        setStatus(status, XmlParseCode::FileNotOpened);
        return XmlNodeRef::emptyNode();
    }
    const long size = std::ftell(file.get());
    if (size == 0) {
        setStatus(status, XmlParseCode::FileEmpty);
        return XmlNodeRef::emptyNode();
    }
    if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) {
        setStatus(status, XmlParseCode::FileNotOpened);
        return XmlNodeRef::emptyNode();
    }
    // Zero-filled: at least four NUL bytes follow what is read, which ends the
    // text whether it is read as UTF-8 or as UTF-16.
    std::vector<unsigned char> buffer(static_cast<std::size_t>(size) + 4);
    const std::size_t length =
        std::fread(buffer.data(), 1, static_cast<std::size_t>(size), file.get());
    if (std::ferror(file.get())) {
        setStatus(status, XmlParseCode::FileNotOpened);
        return XmlNodeRef::emptyNode();
    }
    file.reset();

    const unsigned char* bytes = buffer.data();
    std::string converted;
    const char* text = reinterpret_cast<const char*>(bytes);
    if (platform::isUtf16Text(bytes, length)) {
        const std::size_t skip = (length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) ? 2 : 0;
        if (!platform::utf16LeToUtf8(bytes + skip, length - skip, converted)) {
            setStatus(status, XmlParseCode::ConversionFailed);
            return XmlNodeRef::emptyNode();
        }
        text = converted.c_str();
    } else if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        text += 3;
    }
    return parseXmlText(text, status, rootTag);
}
