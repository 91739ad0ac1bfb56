#pragma once

#include <cstdint>

#include "xml/xml_node.h"

// Outcome of a parse. Codes 1 and 2 still come with the tree built so far;
// every other non-zero code comes with the empty node.
enum class XmlParseCode : std::int32_t {
    None = 0,
    EndTagMissing = 1,          // input ended inside an open element, or an end tag
                                // closed an element of another name (the parse goes on)
    NoElement = 2,              // the text held no element at all
    FileEmpty = 3,              // the file has length 0
    TagNameMissing = 4,         // "<" or "<?" not followed by a name
    EndTagNameMissing = 5,      // "</" not followed by a name and ">"
    EndTagUnmatched = 6,        // an end tag matched no open element up to the top
    VerbatimBlockUnclosed = 7,  // a CDATA, DOCTYPE, comment or PRE block without closer
    TokenUnexpected = 8,        // a token out of place inside a start tag
    TextMissing = 9,            // no text given
    FileNotOpened = 10,         // the file could not be opened for reading
    RootTagNotFound = 11,       // the requested root tag was not found
    EntityUndefined = 12,       // '&' not starting one of the five entities or a
                                // well-formed character reference
    CharacterAbove255 = 13,     // a character reference above 255
    ConversionFailed = 14,      // a UTF-16 file could not be converted to UTF-8
};

// Code of a parse with the 1-based line and column of the error (both 0 when
// the error has no position in the text, and for code 0).
struct XmlParseStatus {
    XmlParseCode code = XmlParseCode::None;
    std::int32_t line = 0;
    std::int32_t column = 0;
};

// Parses a NUL-terminated UTF-8 text into a tree; nothing in the tree points
// into `text` afterwards.
//
// The result is the top element when it is the only item of the document,
// otherwise the nameless document node holding everything. With a non-empty
// `rootTag` (compared ignoring ASCII case) the result is the top element when
// it has that name, else its first direct child of that name, else the empty
// node with code 11. `status` and `rootTag` may be null.
//
// Lenient: "<?...?>" declarations are ordinary nodes (a top-level one holds
// the rest of the document), a missing or mismatched end tag is recovered
// from (code 1), attribute values may be unquoted or absent, CDATA, DOCTYPE,
// comment and PRE blocks are kept raw, texts are trimmed and texts on both
// sides of a comment are merged.
//
// Safe to call on several threads at once for separate texts.
XmlNodeRef parseXmlText(const char* text, XmlParseStatus* status, const char* rootTag = nullptr);

// Reads a whole file and parses it as parseXmlText does. A leading UTF-8
// byte-order mark is skipped; a UTF-16 file (as the platform's text test
// decides, see platform/text_encoding.h) is converted to UTF-8 first, and
// error positions count in the converted text. Adds codes 3, 10 and 14.
XmlNodeRef parseXmlFile(const char* path, XmlParseStatus* status, const char* rootTag = nullptr);
