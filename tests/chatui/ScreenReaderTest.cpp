#include "support/ConversationRig.h"

#include "chatui/ChatAccessibility.h"
#include "chatui/TRichPane.h"
#include "chatui/TTabStrip.h"

#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

// What screen readers are told, seen from inside the process. The tree and the events as they
// reach the accessibility bus are checked by screen-reader-test, on a real bus.

namespace quillet {
namespace {

using testing::TConversationRig;
using testing::TFakeTickSource;

TEST(TabStripForScreenReaders, EachTabKeepsItsConversationWhileOthersComeAndGo)
{
    // The events that keep a screen reader's picture up to date only go out while one listens,
    // which the offscreen platform never has: they are checked on the real bus.
    InstallChatAccessibility();
    TTabStrip strip;
    strip.resize(400, 30);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&strip);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->role(), QAccessible::PageTabList);
    for (const char* caption : { "Ann", "Bob", "Cy" })
        strip.AddTab(QString::fromLatin1(caption));
    strip.SetToolTip(1, QStringLiteral("Bob\n10.0.0.2, port 2323"));
    strip.SetEnded(1, true);
    strip.SetCurrentIndex(1);

    ASSERT_EQ(list->childCount(), 3);
    QAccessibleInterface* bob = list->child(1);
    EXPECT_EQ(bob->role(), QAccessible::PageTab);
    EXPECT_EQ(bob->text(QAccessible::Name), QStringLiteral("Bob"));
    EXPECT_EQ(bob->text(QAccessible::Description),
        QStringLiteral("Bob\n10.0.0.2, port 2323\nThe conversation has ended"));
    EXPECT_TRUE(bob->state().selected);
    EXPECT_FALSE(list->child(0)->state().selected);
    EXPECT_EQ(bob->rect().center(), strip.mapToGlobal(strip.TabRect(1).center()));
    EXPECT_EQ(list->childAt(bob->rect().center().x(), bob->rect().center().y()), bob);

    // Removing the tab before Bob's leaves his interface his, one place further left; the
    // removed tab's interface no longer stands for any.
    const QAccessible::Id annId = QAccessible::uniqueId(list->child(0));
    strip.RemoveTab(0);
    const QAccessibleInterface* ann = QAccessible::accessibleInterface(annId);
    EXPECT_TRUE(ann == nullptr || !ann->isValid());
    ASSERT_EQ(list->childCount(), 2);
    EXPECT_EQ(list->child(0), bob);
    EXPECT_EQ(list->indexOfChild(bob), 0);
    EXPECT_EQ(bob->text(QAccessible::Name), QStringLiteral("Bob"));
    EXPECT_EQ(list->child(1)->text(QAccessible::Name), QStringLiteral("Cy"));

    // A tab's action chooses it as a click does.
    QSignalSpy chosen(&strip, &TTabStrip::TabChosen);
    list->child(1)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), 1);
    EXPECT_TRUE(list->child(1)->state().selected);
}

TEST(ChatWindowForScreenReaders, StatusLinesAndStyleNoticesAreToldOnceAndOwnLinesNot)
{
    // Every insertion announced, with the transcript's text from its position when it was told:
    // the two must agree.
    std::vector<std::pair<QString, QString>> told;
    TRichPane* transcript = nullptr;
    TConversationTabHooks hooks;
    hooks.Announce = [&](QAccessibleEvent& event) {
        if (event.type() != QAccessible::TextInserted || event.object() != transcript)
            return;
        auto& inserted = static_cast<QAccessibleTextInsertEvent&>(event);
        told.emplace_back(inserted.textInserted(), transcript->TextFrom(inserted.changePosition()));
    };
    TFakeTickSource ticks { 100000 };
    TChatForm form;
    TConversationRig rig(form, ticks, hooks);
    transcript = rig.Tab->Controls().Transcript;
    rig.Greet("Bob");
    QApplication::processEvents();

    using TTold = std::vector<std::pair<QString, QString>>;
    const QString notice = QStringLiteral("*** Changed to IM Chat style ***\n\n");
    const struct {
        const char* What;
        std::function<void()> Make;
        TTold Expected;
    } rows[] = {
        { "a status line", [&] { rig.Tab->WriteStatusLine("Connected"); },
            { { "Connected\n", "Connected\n" } } },
        { "the user's style switch",
            [&] { rig.Owner.Engine.UserChoseStyle(TChatStyle::IM); }, { { notice, notice } } },
        { "the user's own line", [&] {
             QTest::keyClicks(rig.Tab->Controls().LocalPane, QStringLiteral("ok"));
             rig.Tab->SendButtonClick(true);
         },
            {} },
        // The other side's text and the notice of its switch arrive together: told together.
        { "text and a switch from the other side", [&] { rig.Owner.Engine.ProcessIncoming("hi\r\n\xFC"); },
            { { "Bob: hi\n\n*** Changed to IM WITH PREVIEW Chat style ***\n\n",
                  "Bob: hi\n\n*** Changed to IM WITH PREVIEW Chat style ***\n\n" } } },
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
