#pragma once

#include <array>
#include <cstddef>

// Read-only tables shared by every XML tree, parse and serialisation. They are
// never written, so any number of threads may use them at once.

// One row of the verbatim-block table: the byte sequences that open and close
// a block whose content is kept raw.
struct XmlVerbatimRow {
    const char* opener;
    std::size_t openerLength;
    const char* closer;
};

// Rows in recognition order: CDATA, DOCTYPE, comment, PRE. The parser and the
// tree tell the kinds apart by the identity of the opener pointer.
constexpr int kXmlVerbatimRowCount = 4;
extern const XmlVerbatimRow kXmlVerbatimRows[kXmlVerbatimRowCount];
constexpr int kXmlDoctypeRow = 1;
constexpr int kXmlCommentRow = 2;

// The closer used instead of ">" by a DOCTYPE block with an internal subset.
extern const char* const kXmlDoctypeSubsetCloser;

// One of the five predefined entities and the character it stands for.
struct XmlEntity {
    const char* text;  // "&amp;" ... including '&' and ';'
    std::size_t length;
    char character;
};

// In encoding order: &amp; &lt; &gt; &quot; &apos;
constexpr int kXmlEntityCount = 5;
extern const XmlEntity kXmlEntities[kXmlEntityCount];

// Number of bytes of the UTF-8 sequence that starts with a byte: 0 for the
// terminating NUL, 1 for ASCII, continuation bytes, 0xC0, 0xC1 and 0xF5..0xFF,
// 2, 3 or 4 for the lead bytes of longer sequences.
constexpr unsigned char xmlSequenceLengthOf(int byte) {
    return byte == 0x00   ? 0
           : byte <= 0xC1 ? 1
           : byte <= 0xDF ? 2
           : byte <= 0xEF ? 3
           : byte <= 0xF4 ? 4
                          : 1;
}

constexpr std::array<unsigned char, 256> makeXmlSequenceLengthTable() {
    std::array<unsigned char, 256> table{};
    for (int byte = 0; byte < 256; ++byte) table[byte] = xmlSequenceLengthOf(byte);
    return table;
}

inline constexpr std::array<unsigned char, 256> kXmlSequenceLength = makeXmlSequenceLengthTable();

inline int xmlSequenceLength(char leadByte) {
    return kXmlSequenceLength[static_cast<unsigned char>(leadByte)];
}

// The byte count of the character at `p`, never stepping over a NUL: a
// sequence cut short by the end of the text counts only its bytes before the
// NUL. 0 at the NUL itself.
inline std::size_t xmlCharacterLength(const char* p) {
    const int length = xmlSequenceLength(*p);
    for (int k = 1; k < length; ++k) {
        if (p[k] == '\0') return static_cast<std::size_t>(k);
    }
    return static_cast<std::size_t>(length);
}

// TAB, LF, CR and SPACE.
inline bool isXmlWhitespace(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// ASCII-only case folding, independent of the C locale.
inline char xmlAsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// True when the NUL-terminated texts are equal ignoring ASCII case.
bool xmlEqualsIgnoreCase(const char* a, const char* b);
