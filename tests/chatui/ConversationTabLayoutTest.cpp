#include "chatui/ConversationTabLayout.h"

#include <gtest/gtest.h>

#include <ostream>

namespace quillet {

void PrintTo(const TConversationTabLayout& l, std::ostream* os)
{
    const auto rect = [os](const char* name, const QRect& r) {
        *os << name << '(' << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height()
            << ") ";
    };
    const auto point = [os](const char* name, const QPoint& p) {
        *os << name << '(' << p.x() << ',' << p.y() << ") ";
    };
    point("disconnect", l.DisconnectButton);
    point("info", l.InfoLabel);
    rect("transcript", l.Transcript);
    rect("local", l.LocalPane);
    *os << (l.OneLine ? "one-line " : "split ");
    point("typing", l.TypingLabel);
    rect("preview", l.PreviewPane);
    point("send", l.SendButton);
}

namespace {

struct TLayoutRow {
    const char* Case;
    TConversationTabMetrics Metrics;
    TConversationTabLayout Expected;
};

// Metrics: sheet, style, typing pane line and frame, preview line, typing label, info label,
// Disconnect and Send widths.
const TLayoutRow Rows[] = {
    { "realtime: two equal panes under the choices, 5 pixels apart",
        { QSize(576, 441), TChatStyle::Realtime, 16, 1, 14, 0, 100, 75, 75 },
        { QPoint(491, 25), QPoint(466, 3), QRect(5, 55, 566, 188), QRect(5, 248, 566, 188), false,
            {}, {}, {} } },
    { "realtime: an odd height rounds both panes down alike",
        { QSize(450, 320), TChatStyle::Realtime, 16, 1, 14, 0, 0, 75, 75 },
        { QPoint(365, 25), QPoint(440, 3), QRect(5, 55, 440, 127), QRect(5, 187, 440, 127), false,
            {}, {}, {} } },
    { "IM: one-line typing pane with Send beside it, under the notice row",
        { QSize(576, 441), TChatStyle::IM, 16, 1, 14, 0, 100, 75, 75 },
        { QPoint(491, 25), QPoint(466, 3), QRect(5, 55, 566, 323), QRect(5, 407, 481, 26), true,
            QPoint(5, 385), QRect(10, 383, 561, 24), QPoint(496, 407) } },
    { "IM with preview: the preview line starts after the typing label",
        { QSize(800, 600), TChatStyle::IMPreview, 18, 1, 15, 80, 100, 75, 75 },
        { QPoint(715, 25), QPoint(690, 3), QRect(5, 55, 790, 479), QRect(5, 564, 705, 28), true,
            QPoint(5, 541), QRect(90, 539, 705, 25), QPoint(720, 564) } },
};

TEST(ConversationTabLayoutTest, ControlsFollowTheSheetAndTheStyle)
{
    for (const TLayoutRow& row : Rows) {
        SCOPED_TRACE(row.Case);
        EXPECT_EQ(ConversationTabLayout(row.Metrics), row.Expected);
    }
}

} // namespace
} // namespace quillet
