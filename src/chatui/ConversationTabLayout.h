#pragma once

#include "net/ChatStyle.h"

#include <QPoint>
#include <QRect>
#include <QSize>

namespace quillet {

// Positions in pixels, as the tab was designed, that do not follow the sheet's size.
namespace tabpos {
inline constexpr int PaneLeft = 5; // left of the transcript and the typing pane
inline constexpr int PaneTop = 55; // top of the transcript, under the style choices
inline constexpr int DisconnectTop = 25;
inline constexpr int LabelTop = 3; // the style caption and the connection info
inline constexpr int RightGap = 10; // from the right-hand controls to the sheet's edge
} // namespace tabpos

// What the layout of a conversation's tab depends on besides the style: the sheet's size and
// the sizes the controls' fonts and texts give them.
struct TConversationTabMetrics {
    QSize Sheet;
    TChatStyle Style = TChatStyle::Realtime;
    int LocalLineHeight = 0; // one line of the typing pane
    int LocalFrameWidth = 0; // the typing pane's frame, on each side
    int PreviewLineHeight = 0; // one line of the preview pane
    int TypingLabelWidth = 0;
    int InfoLabelWidth = 0;
    int DisconnectWidth = 0;
    int SendWidth = 0;
    int ChoicesRight = 0; // where the style choices end, counted from the sheet's left
};

// Where a conversation tab's controls go. Realtime splits the sheet under the style choices into
// two equal panes (transcript over typing pane); the IM styles give a one-line typing pane with
// Send beside it, under the typing notice and the preview line. Fields marked "IM" are set only
// in the IM styles (in Realtime those controls are hidden and keep their place).
struct TConversationTabLayout {
    QPoint DisconnectButton;
    QPoint InfoLabel;
    QRect Transcript;
    QRect LocalPane;
    bool OneLine = false; // the IM styles
    QPoint TypingLabel; // IM
    QRect PreviewPane; // IM
    QPoint SendButton; // IM

    bool operator==(const TConversationTabLayout&) const = default;
};

TConversationTabLayout ConversationTabLayout(const TConversationTabMetrics& metrics);

// The smallest sheet on which, in every style, no control covers another and each pane keeps
// MinPaneLines lines of the typing pane's font (the typing pane of the IM styles keeps its one
// line). The sheet's size in `metrics` is not used. A long typing notice (a long name) only
// widens it up to a point; beyond that the preview line narrows.
QSize ConversationTabMinimumSize(const TConversationTabMetrics& metrics);

inline constexpr int MinPaneLines = 3;

} // namespace quillet
