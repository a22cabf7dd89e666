#include "platform/TWakeSignal.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace quillet {

TWakeSignal::TWakeSignal()
    : Descriptor(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

TWakeSignal::~TWakeSignal()
{
    Close();
}

void TWakeSignal::Wake()
{
    const std::lock_guard guard(Lock);
    if (Descriptor < 0)
        return;
    // Non-blocking: a counter that is already set needs no second wake-up.
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(Descriptor, &one, sizeof one);
}

void TWakeSignal::Clear()
{
    const std::lock_guard guard(Lock);
    if (Descriptor < 0)
        return;
    std::uint64_t count = 0;
    [[maybe_unused]] const auto got = ::read(Descriptor, &count, sizeof count);
}

void TWakeSignal::Close()
{
    const std::lock_guard guard(Lock);
    if (Descriptor >= 0)
        ::close(Descriptor);
    Descriptor = -1;
}

} // namespace quillet
