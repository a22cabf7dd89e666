#include "chatui/ConversationTabLayout.h"

namespace quillet {

using namespace tabpos;

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

} // namespace quillet
