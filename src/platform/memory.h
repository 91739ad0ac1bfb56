#pragma once

namespace platform {

// Makes freed large buffers go back to the system when they are freed,
// instead of staying in the allocator's pools. Call once at start-up.
void returnLargeBuffersPromptly();

// Gives the memory the allocator keeps after frees back to the system.
// Costs a walk of its pools: call it after large buffers went, not per request.
void releaseFreedMemory();

}  // namespace platform
