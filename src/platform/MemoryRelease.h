#pragma once

namespace quillet {

// Hands the memory the heap keeps in its free lists (of every thread's arena) back to the
// system, so that what a crowd of conversations or lookups used, or a large passing allocation (a
// megabyte from the clipboard), stops counting as resident once it is gone. The allocator keeps
// freed memory for reuse otherwise, and memory freed under pieces still in use it never gives
// back by itself. Costs a walk over the heap (milliseconds for a hundred megabytes): for after
// such work, not in a loop. Does nothing where the C library offers no way.
void ReleaseFreeMemory();

} // namespace quillet
