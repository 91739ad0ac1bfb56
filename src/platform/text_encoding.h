#pragma once

#include <cstddef>
#include <string>

namespace platform {

// True when the bytes of a whole file are UTF-16 text.
//
// Windows asks IsTextUnicode with every test. Elsewhere the file is UTF-16
// little-endian when its length is even and it either starts with the mark
// FF FE or starts with no mark (neither FF FE, FE FF nor EF BB BF) and its
// first code unit is an ASCII character (01..7F followed by 00). Odd lengths
// are never UTF-16, as IsTextUnicode decides too, so that the same files give
// the same text on both kinds of system.
bool isUtf16Text(const unsigned char* bytes, std::size_t size);

// Converts little-endian UTF-16 to UTF-8. Reads the code units of `bytes` up
// to the first 0 unit or the end (an odd last byte is the low byte of a
// unit). Returns false, leaving `out` empty, when the input holds an unpaired
// surrogate; surrogate pairs become four-byte sequences.
bool utf16LeToUtf8(const unsigned char* bytes, std::size_t size, std::string& out);

}  // namespace platform
