#include "support/MemoryProbes.h"

#include <cstdio>

#include <malloc.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define QUILLET_SUPPORT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLET_SUPPORT_ASAN 1
#endif
#endif

#if defined(QUILLET_SUPPORT_ASAN)
extern "C" void __sanitizer_purge_allocator();
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace quillet::testing {

void TrimHeap()
{
    ::malloc_trim(0);
#if defined(QUILLET_SUPPORT_ASAN)
    __sanitizer_purge_allocator();
#endif
}

std::int64_t ResidentBytes()
{
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (file == nullptr)
        return -1;
    long size = 0;
    long resident = 0;
    const int read = std::fscanf(file, "%ld %ld", &size, &resident);
    std::fclose(file);
    return read == 2 ? static_cast<std::int64_t>(resident) * ::sysconf(_SC_PAGESIZE) : -1;
}

std::int64_t PeakResidentBytes()
{
    std::FILE* file = std::fopen("/proc/self/status", "r");
    if (file == nullptr)
        return -1;
    char line[256];
    long kilobytes = -1;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (std::sscanf(line, "VmHWM: %ld kB", &kilobytes) == 1)
            break;
    }
    std::fclose(file);
    return kilobytes < 0 ? -1 : static_cast<std::int64_t>(kilobytes) * 1024;
}

bool ResetPeakResident()
{
    // "5" resets the peak resident size to the present one.
    std::FILE* file = std::fopen("/proc/self/clear_refs", "w");
    if (file == nullptr)
        return false;
    const bool written = std::fputs("5", file) >= 0;
    return std::fclose(file) == 0 && written;
}

std::int64_t HeapInUse()
{
#if defined(QUILLET_SUPPORT_ASAN)
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = ::mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
#endif
}

bool UnderAddressSanitizer()
{
#if defined(QUILLET_SUPPORT_ASAN)
    return true;
#else
    return false;
#endif
}

} // namespace quillet::testing
