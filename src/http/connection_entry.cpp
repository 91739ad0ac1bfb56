#include "http/connection_entry.h"

#include <cstring>

ConnectionEntry::ConnectionEntry(const ConnectionEntry& other) {
    assign(other.body_.get(), other.bodyLength_);
}

ConnectionEntry& ConnectionEntry::operator=(const ConnectionEntry& other) {
    if (this != &other) {
        assign(other.body_.get(), other.bodyLength_);
    }
    return *this;
}

void ConnectionEntry::assign(const char* data, std::uint32_t length) {
    if (data == nullptr || length == 0) {
        body_.reset();
        bodyLength_ = 0;
        return;
    }
    // new[] throws std::bad_alloc on failure.
    std::unique_ptr<char[]> copy(new char[static_cast<std::size_t>(length) + 1]);
    std::memcpy(copy.get(), data, length);
    copy[length] = '\0';
    body_ = std::move(copy);
    bodyLength_ = length;
}
