#pragma once

#include <bitset>
#include <cstddef>
#include <initializer_list>

namespace quillet::skin {

// The kinds of controls a skin can be told to paint. Tabs and their pane are painted whenever a
// skin is active; they have no kind of their own.
enum class TSkinControl : std::size_t {
    xcMainMenu,
    xcPopupMenu,
    xcMenuItem,
    xcToolbar,
    xcControlbar,
    xcCombo,
    xcCheckBox,
    xcRadioButton,
    xcProgress,
    xcScrollbar,
    xcEdit,
    xcButton,
    xcBitBtn,
    xcSpeedButton,
    xcSpin,
    xcGroupBox,
    xcStatusBar,
    xcTrackBar,
    xcSystemMenu,
};
constexpr std::size_t SkinControlCount = 19;

class TSkinControls {
public:
    TSkinControls() = default;
    TSkinControls(std::initializer_list<TSkinControl> kinds)
    {
        for (const TSkinControl kind : kinds)
            Include(kind);
    }

    bool Contains(TSkinControl kind) const { return Bits.test(static_cast<std::size_t>(kind)); }
    void Include(TSkinControl kind) { Bits.set(static_cast<std::size_t>(kind)); }
    void Exclude(TSkinControl kind) { Bits.reset(static_cast<std::size_t>(kind)); }
    std::size_t Count() const { return Bits.count(); }
    bool operator==(const TSkinControls&) const = default;

    // Every kind: what the program's skin engine is set to paint.
    static TSkinControls All()
    {
        TSkinControls all;
        all.Bits.set();
        return all;
    }

private:
    std::bitset<SkinControlCount> Bits;
};

} // namespace quillet::skin
