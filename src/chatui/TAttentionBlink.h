#pragma once

#include "platform/TickSource.h"

#include <cstdint>
#include <optional>

namespace quillet {

// The blinking of a conversation's tab that wants the user's attention, without the tab: lit at
// once, then a toggle of the highlight on the first pass of the tick source more than
// ToggleIntervalMs after the previous one, MaxToggles times (off, on, off, on: it ends lit), lit
// until cleared. Toolkit-free; the tab shows Lit() on its page.
class TAttentionBlink {
public:
    static constexpr TTick ToggleIntervalMs = 200;
    static constexpr int MaxToggles = 4;

    explicit TAttentionBlink(const ITickSource& ticks)
        : Ticks(ticks)
    {
    }

    // Lights the highlight and starts blinking anew.
    void Start();
    // Ends the attention: not lit, not blinking.
    void Clear();
    // One pass of the tick source; true when the highlight toggled.
    bool Tick();

    bool Active() const { return IsActive; }
    bool Lit() const { return IsLit; }
    int Toggles() const { return ToggleCount; }
    // The tab still needs passes: it blinks or stays lit.
    bool NeedsTicks() const { return IsActive || IsLit; }
    // Milliseconds until the pass at which the next toggle is due; none once blinking is over.
    std::optional<TTick> NextToggleInMs() const;

private:
    const ITickSource& Ticks;
    bool IsActive = false;
    bool IsLit = false;
    TTick LastToggle = 0;
    std::uint16_t ToggleCount = 0;
};

} // namespace quillet
