#pragma once

#include <cstddef>
#include <cstdint>

// Whether an HTTP answer arrived whole and well-formed, judged from its head
// lines and the count of its body bytes. The transfer library is lenient
// where a relay must not be: it reports success for a head cut before its
// blank line, reads "Content-Length: 1e3" as 1 and "+5" as 5. Fed every
// header line the library passes on (interim 1xx answers and trailers
// included); one answer at a time, not thread-safe.
class ResponseFraming {
  public:
    // One header line as received, CR LF included. A status line starts a
    // new answer.
    void onHeaderLine(const char* data, std::size_t size);

    // True when the last answer's head ended with its blank line, every
    // Content-Length it sent is the same plain decimal number, a
    // Transfer-Encoding is "chunked", and `bodyBytes` is the declared length
    // (a chunked body's end is the library's to check: it fails a transfer
    // that closes before the last chunk).
    bool isWhole(std::size_t bodyBytes) const;

  private:
    void onField(const char* data, std::size_t size);

    bool headEnded_ = false;
    bool malformed_ = false;
    bool chunked_ = false;
    bool hasLength_ = false;
    std::uint64_t length_ = 0;
};
