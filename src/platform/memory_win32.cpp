#include "platform/memory.h"

#include <malloc.h>

namespace platform {

// The Windows heap decommits large freed blocks by itself.
void returnLargeBuffersPromptly() {}

void releaseFreedMemory() { _heapmin(); }

}  // namespace platform
