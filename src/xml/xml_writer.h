#pragma once

#include <cstddef>

#include "xml/xml_node.h"  // XmlNodeRef::serialize is defined in xml_writer.cpp

// Writes `text` with '&', '<', '>', '"' and '\'' replaced by their entities to
// `destination`, which must have room for encodedLength(text) bytes; no NUL is
// added. Every other character is copied with all the bytes of its UTF-8
// sequence; a sequence cut short by the end of the text is written as one '_'
// in place of its first byte and encoding goes on at the next byte. Returns
// the number of bytes written.
std::size_t encodeEntities(const char* text, char* destination);

// Exactly the number of bytes that encodeEntities writes for `text`.
std::size_t encodedLength(const char* text);
