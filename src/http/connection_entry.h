#pragma once

#include <cstdint>
#include <memory>

// One row of the server's connection table: marks a connection that has had
// a request dispatched. The body buffer is part of the record but nothing
// fills it; a copy duplicates it only when both pointer and length are set.
class ConnectionEntry {
  public:
    ConnectionEntry() = default;
    ConnectionEntry(const ConnectionEntry& other);
    ConnectionEntry& operator=(const ConnectionEntry& other);
    ConnectionEntry(ConnectionEntry&&) noexcept = default;
    ConnectionEntry& operator=(ConnectionEntry&&) noexcept = default;

    // Takes a copy of `length` bytes (plus a terminating zero).
    void assign(const char* data, std::uint32_t length);
    const char* body() const { return body_.get(); }
    std::uint32_t bodyLength() const { return bodyLength_; }

  private:
    std::unique_ptr<char[]> body_;
    std::uint32_t bodyLength_ = 0;
};
