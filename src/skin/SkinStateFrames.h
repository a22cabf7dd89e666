#pragma once

#include <QStyle>

namespace quillet::skin {

// The frame of a multi-state part that shows a control's state: its number from 1 in the part's
// strip of frames (see the frames namespace of SkinParts.h).
int ButtonFrame(QStyle::State state);
// Check boxes and radio buttons: the marked frames follow the four unmarked ones.
int MarkFrame(QStyle::State state);
// Frames of edits and lists.
int EdgeFrame(QStyle::State state);
// Scroll bar arrows and thumbs.
int ScrollFrame(bool enabled, bool pressed, bool hover);

} // namespace quillet::skin
