#include "chatui/TPageControl.h"
#include "chatui/TTabSheet.h"
#include "chatui/TTabStrip.h"

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>

namespace quillet {
namespace {

TEST(TabStrip, WrapsOntoFurtherRowsInsteadOfScrolling)
{
    TTabStrip strip;
    strip.resize(300, 20);
    for (int i = 0; i < 12; ++i)
        strip.AddTab(QStringLiteral("Conversation %1").arg(i));
    strip.resize(300, strip.heightForWidth(300));

    ASSERT_GT(strip.RowCount(), 2);
    EXPECT_EQ(strip.heightForWidth(300), strip.RowCount() * strip.TabRect(0).height());
    for (int i = 0; i < strip.Count(); ++i) {
        const QRect r = strip.TabRect(i);
        SCOPED_TRACE(i);
        EXPECT_TRUE(strip.rect().contains(r)) << "every tab lies inside the strip";
        EXPECT_EQ(strip.TabAt(r.center()), i) << "every tab can be clicked";
        for (int k = 0; k < i; ++k)
            EXPECT_FALSE(r.intersects(strip.TabRect(k)));
    }

    strip.resize(4000, 20);
    EXPECT_EQ(strip.RowCount(), 1);
}

// A crowd of callers arriving, or hanging up, together: the strip is laid out once for all of
// them, not once per tab (which made each tab cost as much as there are).
TEST(TabStrip, TabsComingAndGoingInOnePassAreLaidOutOnce)
{
    TTabStrip strip;
    strip.resize(600, 20);
    strip.show();
    QApplication::processEvents();
    const int before = strip.LayoutsMade();
    for (int i = 0; i < 400; ++i) {
        strip.AddTab(QStringLiteral("Chat"));
        strip.SetCaption(i, QStringLiteral("Caller %1").arg(i));
        strip.SetEnded(i, i % 2 == 0);
    }
    QApplication::processEvents();
    EXPECT_LE(strip.LayoutsMade() - before, 2);
    EXPECT_EQ(strip.TabAt(strip.TabRect(399).center()), 399);

    const int beforeRemoval = strip.LayoutsMade();
    for (int i = 0; i < 399; ++i)
        strip.RemoveTab(0);
    QApplication::processEvents();
    EXPECT_LE(strip.LayoutsMade() - beforeRemoval, 2);
    EXPECT_EQ(strip.Count(), 1);
    EXPECT_EQ(strip.Caption(0), QStringLiteral("Caller 399"));
    EXPECT_EQ(strip.RowCount(), 1);
}

TEST(TabStrip, OnlyUserClicksReportAChoice)
{
    TTabStrip strip;
    strip.resize(400, 30);
    strip.AddTab(QStringLiteral("Ann"));
    strip.AddTab(QStringLiteral("Bob"));
    QSignalSpy chosen(&strip, &TTabStrip::TabChosen);

    EXPECT_EQ(strip.CurrentIndex(), 0) << "the first tab is current";
    strip.SetCurrentIndex(1);
    EXPECT_EQ(chosen.count(), 0);

    QTest::mouseClick(&strip, Qt::LeftButton, {}, strip.TabRect(0).center());
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), 0);
    QTest::mouseClick(&strip, Qt::LeftButton, {}, strip.TabRect(0).center());
    EXPECT_EQ(chosen.count(), 1) << "clicking the current tab chooses nothing new";
}

TEST(TabStrip, HighlightedTabIsPaintedInTheHighlightColour)
{
    TTabStrip strip;
    strip.resize(400, 30);
    for (const char* name : { "Ann", "Bob", "Cy" })
        strip.AddTab(QString::fromLatin1(name));
    strip.resize(400, strip.heightForWidth(400));
    strip.SetHighlighted(2, true);

    EXPECT_TRUE(strip.Highlighted(2));
    EXPECT_FALSE(strip.Highlighted(1));
    EXPECT_FALSE(strip.Highlighted(0));

    const QImage image = strip.grab().toImage();
    // A point inside each tab, clear of its border and caption.
    const auto fillOf = [&](int index) {
        const QRect r = strip.TabRect(index);
        return image.pixelColor(r.left() + 4, r.bottom() - 3);
    };
    // The style shades the tab (a gradient, a border), so "in the highlight colour" means close
    // to it in every channel, and far from it otherwise.
    const QColor highlight = strip.palette().color(QPalette::Highlight);
    const auto near = [&](const QColor& c) {
        return std::abs(c.red() - highlight.red()) < 24
            && std::abs(c.green() - highlight.green()) < 24
            && std::abs(c.blue() - highlight.blue()) < 24;
    };
    EXPECT_TRUE(near(fillOf(2))) << fillOf(2).name().toStdString();
    EXPECT_FALSE(near(fillOf(1)));
    EXPECT_NE(fillOf(0), fillOf(1)) << "the current tab stands out from the others";

    strip.SetHighlighted(2, false);
    EXPECT_EQ(strip.grab().toImage().pixelColor(
                  strip.TabRect(2).left() + 4, strip.TabRect(2).bottom() - 3),
        fillOf(1));
}

class PageControlTest : public ::testing::Test {
protected:
    PageControlTest() { Tabs.resize(500, 300); }

    TTabSheet* AddSheet(const QString& caption)
    {
        auto* sheet = new TTabSheet(Tabs);
        sheet->SetCaption(caption);
        sheet->SetPageControl(&Tabs);
        return sheet;
    }

    TPageControl Tabs;
};

TEST_F(PageControlTest, FirstPageIsShownAndLaterPagesWait)
{
    TTabSheet* first = AddSheet(QStringLiteral("Ann"));
    TTabSheet* second = AddSheet(QStringLiteral("Bob"));

    EXPECT_EQ(Tabs.PageCount(), 2);
    EXPECT_EQ(Tabs.ActivePage(), first);
    EXPECT_EQ(Tabs.PageCaption(second), QStringLiteral("Bob"));
    EXPECT_EQ(second->size(), Tabs.PageArea().size()) << "a page not shown is already sized";

    second->SetCaption(QStringLiteral("Bobby"));
    EXPECT_EQ(Tabs.Strip().Caption(1), QStringLiteral("Bobby"));
}

TEST_F(PageControlTest, ChangeFiresForTheUsersChoiceOnly)
{
    AddSheet(QStringLiteral("Ann"));
    TTabSheet* second = AddSheet(QStringLiteral("Bob"));
    QSignalSpy change(&Tabs, &TPageControl::Change);

    Tabs.SetActivePage(second);
    EXPECT_EQ(change.count(), 0);
    Tabs.SetActivePage(Tabs.Page(0));

    QTest::mouseClick(&Tabs.Strip(), Qt::LeftButton, {}, Tabs.Strip().TabRect(1).center());
    EXPECT_EQ(change.count(), 1);
    EXPECT_EQ(Tabs.ActivePage(), second);
}

TEST_F(PageControlTest, DestroyingASheetRemovesItsPageAndShowsANeighbour)
{
    TTabSheet* first = AddSheet(QStringLiteral("Ann"));
    TTabSheet* second = AddSheet(QStringLiteral("Bob"));
    TTabSheet* third = AddSheet(QStringLiteral("Cy"));
    Tabs.SetActivePage(second);
    QSignalSpy change(&Tabs, &TPageControl::Change);

    delete second;
    EXPECT_EQ(Tabs.PageCount(), 2);
    EXPECT_EQ(Tabs.ActivePage(), third) << "the page after the removed one";
    EXPECT_EQ(Tabs.Strip().Caption(1), QStringLiteral("Cy"));

    delete third;
    EXPECT_EQ(Tabs.ActivePage(), first) << "the last page gone: the one before it";
    first->SetPageControl(nullptr);
    EXPECT_EQ(Tabs.PageCount(), 0);
    EXPECT_EQ(Tabs.ActivePage(), nullptr);
    EXPECT_EQ(Tabs.Strip().Count(), 0);
    EXPECT_EQ(change.count(), 0) << "the program's removals are not the user's choice";
    delete first;
}

TEST(TabSheet, PaintsOnlyABackgroundOtherThanTheButtonFace)
{
    TPageControl tabs;
    tabs.resize(300, 200);
    auto* sheet = new TTabSheet(tabs);
    sheet->SetPageControl(&tabs);
    EXPECT_EQ(sheet->BackgroundColor(), TTabSheet::ButtonFace());

    const QColor other(0x12, 0x34, 0x56);
    sheet->SetBackgroundColor(other);
    const QImage image = tabs.grab().toImage();
    EXPECT_EQ(image.pixelColor(sheet->mapTo(&tabs, sheet->rect().center())), other);
}

} // namespace
} // namespace quillet
