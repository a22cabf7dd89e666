#include "chatui/ConversationTabLayout.h"

#include <algorithm>

namespace quillet {

using namespace tabpos;

namespace {

// What the minimum keeps of the lines that share their width.
constexpr int MinLineWidth = 60;
constexpr int MaxTypingLabelShare = 150;

} // namespace

TConversationTabLayout ConversationTabLayout(const TConversationTabMetrics& m)
{
    TConversationTabLayout layout;
    const int w = m.Sheet.width();
    const int h = m.Sheet.height();
    const int paneWidth = w - 2 * PaneLeft;
    layout.DisconnectButton = QPoint(w - m.DisconnectWidth - RightGap, DisconnectTop);
    layout.InfoLabel = QPoint(w - m.InfoLabelWidth - RightGap, LabelTop);

    if (m.Style == TChatStyle::Realtime) {
        const int paneHeight = (h - PaneTop) / 2 - 5;
        layout.Transcript = QRect(PaneLeft, PaneTop, paneWidth, paneHeight);
        layout.LocalPane = QRect(PaneLeft, PaneTop + paneHeight + 5, paneWidth, paneHeight);
        return layout;
    }

    layout.OneLine = true;
    const int localHeight = m.LocalLineHeight + 10;
    const int localClientHeight = localHeight - 2 * m.LocalFrameWidth;
    const int previewHeight = m.PreviewLineHeight + 10;
    const int transcriptHeight = h - PaneTop - localClientHeight - previewHeight - 15;
    layout.Transcript = QRect(PaneLeft, PaneTop, paneWidth, transcriptHeight);

    // In IM the hidden preview pane still keeps its row: the typing notice sits in it.
    const int typingTop = PaneTop + transcriptHeight + 7;
    layout.TypingLabel = QPoint(PaneLeft, typingTop);
    layout.PreviewPane = QRect(PaneLeft + m.TypingLabelWidth + 5, typingTop - 2,
        w - PaneLeft - m.TypingLabelWidth - RightGap, previewHeight);

    const int localTop = layout.PreviewPane.y() + previewHeight;
    const int localWidth = paneWidth - m.SendWidth - RightGap;
    layout.LocalPane = QRect(PaneLeft, localTop, localWidth, localHeight);
    layout.SendButton = QPoint(PaneLeft + localWidth + RightGap, localTop);
    return layout;
}

QSize ConversationTabMinimumSize(const TConversationTabMetrics& m)
{
    // The choices on the left, the connection info and Disconnect on the right.
    const int topRow
        = m.ChoicesRight + RightGap + std::max(m.InfoLabelWidth, m.DisconnectWidth) + RightGap;
    const int typingRow = PaneLeft + std::min(m.TypingLabelWidth, MaxTypingLabelShare) + 5
        + MinLineWidth + RightGap;
    const int localRow = 2 * PaneLeft + MinLineWidth + RightGap + m.SendWidth;
    const int width = std::max({ topRow, typingRow, localRow });

    const int pane = MinPaneLines * m.LocalLineHeight + 2 * m.LocalFrameWidth;
    // Realtime: two equal panes, 5 pixels under each, from halves rounded down.
    const int split = PaneTop + 2 * (pane + 5) + 1;
    const int localClientHeight = m.LocalLineHeight + 10 - 2 * m.LocalFrameWidth;
    const int previewHeight = m.PreviewLineHeight + 10;
    const int oneLine = PaneTop + pane + localClientHeight + previewHeight + 15;
    return { width, std::max(split, oneLine) };
}

} // namespace quillet
