#include "platform/memory.h"

#include <malloc.h>

namespace {

// Buffers from this size up are mapped on their own and unmapped when freed.
// A fixed value also stops glibc from raising the threshold after each free
// of a large buffer, which would keep every later one in its pools.
constexpr int kOwnMappingBytes = 256 * 1024;

}  // namespace

namespace platform {

void returnLargeBuffersPromptly() { mallopt(M_MMAP_THRESHOLD, kOwnMappingBytes); }

void releaseFreedMemory() { malloc_trim(0); }

}  // namespace platform
