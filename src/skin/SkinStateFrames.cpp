#include "skin/SkinStateFrames.h"

#include "skin/SkinParts.h"

namespace quillet::skin {

int ButtonFrame(QStyle::State state)
{
    if (!(state & QStyle::State_Enabled))
        return frames::ButtonDisabled;
    if (state & (QStyle::State_Sunken | QStyle::State_On))
        return frames::ButtonPressed;
    const bool hover = (state & QStyle::State_MouseOver) != 0;
    if (state & QStyle::State_HasFocus)
        return hover ? frames::ButtonFocusedHover : frames::ButtonFocused;
    return hover ? frames::ButtonHover : frames::ButtonNormal;
}

int MarkFrame(QStyle::State state)
{
    int frame = frames::MarkNormal;
    if (!(state & QStyle::State_Enabled))
        frame = frames::MarkDisabled;
    else if (state & QStyle::State_Sunken)
        frame = frames::MarkPressed;
    else if (state & QStyle::State_MouseOver)
        frame = frames::MarkHover;
    if (state & (QStyle::State_On | QStyle::State_NoChange))
        frame += frames::MarkedOffset;
    return frame;
}

int EdgeFrame(QStyle::State state)
{
    if (!(state & QStyle::State_Enabled))
        return frames::EdgeDisabled;
    if (state & QStyle::State_HasFocus)
        return frames::EdgeFocused;
    if (state & QStyle::State_MouseOver)
        return frames::EdgeHover;
    return frames::EdgeNormal;
}

int ScrollFrame(bool enabled, bool pressed, bool hover)
{
    if (!enabled)
        return frames::ScrollDisabled;
    if (pressed)
        return frames::ScrollPressed;
    return hover ? frames::ScrollHover : frames::ScrollNormal;
}

} // namespace quillet::skin
