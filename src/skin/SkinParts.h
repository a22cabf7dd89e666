#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace quillet::skin {

// The parts of a skin the engine paints, each described by the section of the skin description
// named after it. A part's bitmap is a strip of state frames side by side; the frame numbers
// below say which state each frame shows, so a skin's bitmaps and this engine agree on them.
enum class TSkinPartKind : std::size_t {
    PushButton,
    CheckBox,
    RadioButton,
    GroupBox,
    Tab,
    TabPane,
    ScrollButton,
    HorzScroll,
    VertScroll,
    HorzScrollThumb,
    VertScrollThumb,
    SunkEdge,
    MenuItem,
    MenuBackground,
};
constexpr std::size_t SkinPartCount = 14;

// Section names in the order of TSkinPartKind.
constexpr std::array<std::string_view, SkinPartCount> SkinPartSections = {
    "PushButton",
    "CheckBox",
    "RadioButton",
    "GroupBox",
    "Tabs",
    "Tab.Pane",
    "Scrollbar",
    "HorzScroll",
    "VertScroll",
    "HorzScrollThumb",
    "VertScrollThumb",
    "SunkEdge",
    "MenuItem",
    "MenuBackground",
};

constexpr std::string_view SectionOf(TSkinPartKind kind)
{
    return SkinPartSections[static_cast<std::size_t>(kind)];
}

// Frame numbers (from 1) of the parts that have more than one state.
namespace frames {

// Push buttons.
constexpr int ButtonNormal = 1;
constexpr int ButtonHover = 2;
constexpr int ButtonPressed = 3;
constexpr int ButtonDisabled = 4;
constexpr int ButtonFocused = 5;
constexpr int ButtonFocusedHover = 6;
constexpr int ButtonCount = 6;

// Check boxes and radio buttons: the four states unmarked, then the same four marked.
constexpr int MarkNormal = 1;
constexpr int MarkHover = 2;
constexpr int MarkPressed = 3;
constexpr int MarkDisabled = 4;
constexpr int MarkedOffset = 4;
constexpr int MarkCount = 8;

// Tabs. The attention frame is a tab lit to ask for the user's attention; the ended frame, a
// disabled tab (an ended conversation's). A skin whose tabs have four frames draws ended tabs
// with the normal frame.
constexpr int TabNormal = 1;
constexpr int TabHover = 2;
constexpr int TabSelected = 3;
constexpr int TabAttention = 4;
constexpr int TabEnded = 5;
constexpr int TabCount = 5;

// Scroll bar arrow buttons and thumbs.
constexpr int ScrollNormal = 1;
constexpr int ScrollHover = 2;
constexpr int ScrollPressed = 3;
constexpr int ScrollDisabled = 4;
constexpr int ScrollCount = 4;

// Frames of edits and lists.
constexpr int EdgeNormal = 1;
constexpr int EdgeHover = 2;
constexpr int EdgeFocused = 3;
constexpr int EdgeDisabled = 4;
constexpr int EdgeCount = 4;

} // namespace frames

} // namespace quillet::skin
