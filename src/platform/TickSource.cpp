#include "platform/TickSource.h"

#include <chrono>

namespace quillet {

TTick TSteadyTickSource::Now() const
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<TTick>(static_cast<std::uint64_t>(ms.count()));
}

const TSteadyTickSource& TSteadyTickSource::Instance()
{
    static const TSteadyTickSource source;
    return source;
}

} // namespace quillet
