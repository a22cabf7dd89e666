#include "chatui/TAttentionBlink.h"

namespace quillet {

void TAttentionBlink::Start()
{
    IsActive = true;
    IsLit = true;
    LastToggle = Ticks.Now();
    ToggleCount = 0;
}

void TAttentionBlink::Clear()
{
    IsActive = false;
    IsLit = false;
    ToggleCount = 0;
}

bool TAttentionBlink::Tick()
{
    const TTick now = Ticks.Now();
    // Elapsed time, not a comparison of tick values: the tick count wraps.
    if (!IsActive || ToggleCount >= MaxToggles || TickElapsed(now, LastToggle) <= ToggleIntervalMs)
        return false;
    IsLit = !IsLit;
    LastToggle = now;
    ++ToggleCount;
    return true;
}

std::optional<TTick> TAttentionBlink::NextToggleInMs() const
{
    if (!IsActive || ToggleCount >= MaxToggles)
        return std::nullopt;
    const TTick elapsed = TickElapsed(Ticks.Now(), LastToggle);
    return elapsed > ToggleIntervalMs ? 0 : ToggleIntervalMs + 1 - elapsed;
}

} // namespace quillet
