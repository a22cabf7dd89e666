// The rows of the contact list: tall enough for the list's font, and names too long for the list
// cut with "…" and shown whole in their tool tip.

#include "phonebook/TUserRowDelegate.h"
#include "phonebook/TUsersListingBox.h"

#include <QHelpEvent>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>

#include <gtest/gtest.h>

namespace quillet {
namespace {

constexpr QChar Ellipsis(0x2026);

QFont ListFont(int pixels)
{
    QFont font(QStringLiteral("Arial Narrow"));
    font.setPixelSize(pixels);
    font.setBold(true);
    return font;
}

class UserRowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        List.setGeometry(5, 40, 137, 306);
        List.Fill({ "Ann Lee", "Dave & Sons", "listening", LongName.toStdString() }, 0);
        List.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&List));
    }

    // The tool tip the list shows for a rest of the pointer on `row`, as plain text.
    QString ToolTipOfRow(int row)
    {
        const QRect rect = List.visualRect(List.model()->index(row, 0));
        QHelpEvent event(
            QEvent::ToolTip, rect.center(), List.viewport()->mapToGlobal(rect.center()));
        QCoreApplication::sendEvent(List.viewport(), &event);
        QTextDocument text;
        text.setHtml(QToolTip::text());
        return text.toPlainText();
    }

    const QString LongName = QStringLiteral("Bartholomew Featherstonehaugh-Cholmondeley & Sons");
    TUsersListingBox List;
};

TEST_F(UserRowsTest, RowsAreTallEnoughForTheirFont)
{
    // 13 pixels, as the list's own font; a font of more than 13 pixels too.
    for (const int pixels : { 13, 16, 22 }) {
        SCOPED_TRACE(pixels);
        List.setFont(ListFont(pixels));
        List.doItemsLayout();
        const QFontMetrics metrics(List.font());
        for (int row = 0; row < List.Count(); ++row) {
            const QRect rect = List.visualRect(List.model()->index(row, 0));
            // Ascent and descent inside the row: "listening" keeps the tail of its g.
            EXPECT_GE(rect.height(), metrics.height()) << row;
            EXPECT_GE(rect.height(), TUserRowDelegate::RowHeight) << row;
        }
    }
}

TEST_F(UserRowsTest, ANameTooLongEndsInAnEllipsisAndShowsWholeInItsToolTip)
{
    List.setFont(ListFont(13));
    const QFontMetrics metrics(List.font());
    const int width = List.viewport()->width();
    const QString shown = TUserRowDelegate::ShownName(LongName, metrics, width);
    EXPECT_TRUE(shown.endsWith(Ellipsis)) << shown.toStdString();
    EXPECT_TRUE(LongName.startsWith(shown.chopped(1)));
    EXPECT_LE(metrics.horizontalAdvance(shown) + 2 * TUserRowDelegate::TextIndent, width);
    EXPECT_EQ(ToolTipOfRow(3), LongName);

    // Names that fit are shown as they are, with no tool tip to repeat them.
    EXPECT_EQ(TUserRowDelegate::ShownName("Dave & Sons", metrics, width), "Dave & Sons");
    EXPECT_EQ(TUserRowDelegate::ToolTip("Dave & Sons", metrics, width), QString());
    // A name that looks like markup is shown as typed.
    const QString markup = QStringLiteral("<b>Bold</b> ") + QString(40, u'x');
    QTextDocument tip;
    tip.setHtml(TUserRowDelegate::ToolTip(markup, metrics, width));
    EXPECT_EQ(tip.toPlainText(), markup);
}

} // namespace
} // namespace quillet
