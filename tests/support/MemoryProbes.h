#pragma once

#include <cstdint>

namespace quillet::testing {

// Hands freed heap back to the system (and, under AddressSanitizer, its quarantine), so that the
// resident size read next is what the process still holds.
void TrimHeap();

// Resident memory of this process in bytes, from /proc/self/statm; -1 when unreadable.
std::int64_t ResidentBytes();

// Bytes allocated and not freed. Unlike the resident size it does not count freed memory the
// allocator keeps for reuse (pages that still hold a few live objects).
std::int64_t HeapInUse();

// True in a build under AddressSanitizer: its shadow memory then dominates the resident size.
bool UnderAddressSanitizer();

} // namespace quillet::testing
