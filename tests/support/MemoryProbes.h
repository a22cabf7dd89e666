#pragma once

#include <cstdint>

namespace quillet::testing {

// Hands freed heap back to the system (and, under AddressSanitizer, its quarantine), so that the
// resident size read next is what the process still holds.
void TrimHeap();

// Resident memory of this process in bytes, from /proc/self/statm; -1 when unreadable.
std::int64_t ResidentBytes();

// The highest resident size of this process since it started or since the last
// ResetPeakResident, from /proc/self/status (VmHWM); -1 when unreadable.
std::int64_t PeakResidentBytes();

// Makes the peak resident size the present one, so that PeakResidentBytes then tells the peak
// of what follows. False when the system does not allow it (/proc/self/clear_refs).
bool ResetPeakResident();

// Bytes allocated and not freed. Unlike the resident size it does not count freed memory the
// allocator keeps for reuse (pages that still hold a few live objects).
std::int64_t HeapInUse();

// True in a build under AddressSanitizer: its shadow memory then dominates the resident size.
bool UnderAddressSanitizer();

} // namespace quillet::testing
