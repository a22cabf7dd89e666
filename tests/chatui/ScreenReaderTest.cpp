#include "support/ConversationRig.h"

#include "chatui/ChatAccessibility.h"
#include "chatui/TRichPane.h"
#include "chatui/TTabStrip.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

// What screen readers are told, seen from inside the process. The tree, the events that keep a
// screen reader's picture of it up to date (sent only while one listens, which the offscreen
// platform never has) and where the keyboard goes are checked on a real bus by
// screen-reader-test.

namespace quillet {
namespace {

using testing::TConversationRig;
using testing::TFakeTickSource;

TEST(TabStripForScreenReaders, EachTabKeepsItsConversationWhileOthersComeAndGo)
{
    // A screen reader holds on to what it was told of a tab: removing the tab before Bob's must
    // leave Bob's interface his, one place further left, and the removed tab's stand for none.
    InstallChatAccessibility();
    TTabStrip strip;
    for (const char* caption : { "Ann", "Bob", "Cy" })
        strip.AddTab(QString::fromLatin1(caption));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&strip);
    ASSERT_EQ(list->role(), QAccessible::PageTabList);
    QAccessibleInterface* bob = list->child(1);
    const QAccessible::Id annId = QAccessible::uniqueId(list->child(0));

    strip.RemoveTab(0);
    const QAccessibleInterface* ann = QAccessible::accessibleInterface(annId);
    EXPECT_TRUE(ann == nullptr || !ann->isValid());
    ASSERT_EQ(list->childCount(), 2);
    EXPECT_EQ(list->child(0), bob);
    EXPECT_EQ(list->indexOfChild(bob), 0);
    EXPECT_EQ(bob->text(QAccessible::Name), QStringLiteral("Bob"));
    EXPECT_EQ(list->child(1)->text(QAccessible::Name), QStringLiteral("Cy"));
}

TEST(ChatWindowForScreenReaders, StatusLinesAndStyleNoticesAreToldOnceAndOwnLinesNot)
{
    // Every insertion announced, with the transcript's text from its position when it was told:
    // the two must agree.
    std::vector<std::pair<std::string, std::string>> told;
    TRichPane* transcript = nullptr;
    TConversationTabHooks hooks;
    hooks.Announce = [&](QAccessibleEvent& event) {
        if (event.type() != QAccessible::TextInserted || event.object() != transcript)
            return;
        auto& inserted = static_cast<QAccessibleTextInsertEvent&>(event);
        told.emplace_back(inserted.textInserted().toStdString(),
            transcript->TextFrom(inserted.changePosition()).toStdString());
    };
    TFakeTickSource ticks { 100000 };
    TChatForm form;
    TConversationRig rig(form, ticks, hooks);
    transcript = rig.Tab->Controls().Transcript;
    rig.Greet("Bob");
    QApplication::processEvents();

    using TTold = std::vector<std::pair<std::string, std::string>>;
    const std::string notice = "*** Changed to IM Chat style ***\n\n";
    const struct {
        const char* What;
        std::function<void()> Make;
        TTold Expected;
    } rows[] = {
        { "a status line", [&] { rig.Tab->WriteStatusLine("Connected"); },
            { { "Connected\n", "Connected\n" } } },
        { "the user's style switch", [&] { rig.Owner.Engine.UserChoseStyle(TChatStyle::IM); },
            { { notice, notice } } },
        { "the user's own line",
            [&] {
                QTest::keyClicks(rig.Tab->Controls().LocalPane, QStringLiteral("ok"));
                rig.Tab->SendButtonClick(true);
            },
            {} },
        // The other side's text and the notice of its switch arrive together: told together.
        { "text and a switch from the other side",
            [&] { rig.Owner.Engine.ProcessIncoming("hi\r\n\xFC"); },
            { { "Bob: hi\n\n*** Changed to IM WITH PREVIEW Chat style ***\n\n",
                "Bob: hi\n\n*** Changed to IM WITH PREVIEW Chat style ***\n\n" } } },
        // The line the other side is typing is told once it is in the transcript.
        { "the other side typing its line", [&] { rig.Owner.Engine.ProcessIncoming("unfin"); },
            {} },
        { "a switch that takes the unfinished line into the transcript",
            [&] { rig.Owner.Engine.UserChoseStyle(TChatStyle::Realtime); },
            { { "Bob: unfin\n\n*** Changed to REAL TIME Chat style ***\n\n",
                "Bob: unfin\n\n*** Changed to REAL TIME Chat style ***\n\n" } } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.What);
        told.clear();
        row.Make();
        QApplication::processEvents();
        EXPECT_EQ(told, row.Expected);
    }
}

} // namespace
} // namespace quillet
