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
