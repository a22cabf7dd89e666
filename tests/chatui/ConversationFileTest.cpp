#include "support/ConversationRig.h"
#include "support/ScratchFolder.h"

#include "chatui/ConversationFile.h"
#include "chatui/TPageControl.h"
#include "chatui/TRichPane.h"
#include "chatui/TTabStrip.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace quillet {
namespace {

using testing::TConversationRig;
using testing::TFakePrompts;
using testing::TFakeTickSource;
using testing::TScratchFolder;

const QDateTime Saved(QDate(2024, 5, 3), QTime(14, 5));

QString FileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(ConversationFile, OneHeaderLineThenTheTranscriptThenTheOwnSidesText)
{
    const struct {
        const char* What;
        TConversationRecord Record;
        QString Expected;
    } rows[] = {
        { "all known", { "Bob Miller", "10.0.0.2", "2323", "Alice", Saved, "hello\nthere", "" },
            "Conversation with Bob Miller (10.0.0.2, port 2323), saved 2024-05-03 14:05\n\n"
            "hello\nthere\n" },
        { "no name yet", { "", "10.0.0.2", "2323", "Alice", Saved, "Connected\n", "" },
            "Conversation with 10.0.0.2, port 2323, saved 2024-05-03 14:05\n\nConnected\n" },
        { "nothing known, nothing said", { "", "", "", "Alice", Saved, "", "" },
            "Conversation, saved 2024-05-03 14:05\n" },
        { "a name that would break the header",
            { "Bob\nMallory\r\x1b[2J\u2028x", "10.0.0.2", "2323", "Alice", Saved, "hi\n", "" },
            "Conversation with Bob Mallory  [2J x (10.0.0.2, port 2323), saved 2024-05-03 14:05\n\n"
            "hi\n" },
        { "the own side's pane in Realtime",
            { "Bob", "10.0.0.2", "2323", "Alice", Saved, "hello\n", "hi\nZoë" },
            "Conversation with Bob (10.0.0.2, port 2323), saved 2024-05-03 14:05\n\nhello\n\n"
            "Typed by Alice:\nhi\nZoë\n" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.What);
        EXPECT_EQ(ConversationFileText(row.Record), row.Expected);
    }
}

TEST(ConversationFile, NameIsThePeersNameMadeSafeAndTheDate)
{
    const QDate date(2024, 5, 3);
    const struct {
        QString Name;
        QString Address;
        QString Expected;
    } rows[] = {
        { "Zoë Miller", "10.0.0.2", "Zoë Miller 2024-05-03.txt" },
        { "../../etc/passwd", "", "_.._etc_passwd 2024-05-03.txt" },
        { "a:b*c?\"d<e>f|g\\h", "", "a_b_c__d_e_f_g_h 2024-05-03.txt" },
        { "-.profile", "", "profile 2024-05-03.txt" },
        { "  Ann \t\n  Lee.. ", "", "Ann Lee 2024-05-03.txt" },
        // Right-to-left override and zero-width characters: a name that reads "Bobtxt.exe"
        // backwards, or as something it is not.
        { "Bob\u202Eexe.txt\u200B", "", "Bobexe.txt 2024-05-03.txt" },
        { "...", "host:2323/x", "host_2323_x 2024-05-03.txt" },
        { "\x01\x02", "", "Conversation 2024-05-03.txt" },
        { QString(60, 'x'), "", QString(MaxFileNameStem, 'x') + " 2024-05-03.txt" },
        { QString(MaxFileNameStem - 1, 'x') + " y", "",
            QString(MaxFileNameStem - 1, 'x') + " 2024-05-03.txt" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name.toStdString());
        EXPECT_EQ(ConversationFileName(row.Name, row.Address, date), row.Expected);
    }
    // Characters beyond the basic plane are cut whole.
    QString faces;
    for (int i = 0; i < 60; ++i)
        faces += QStringLiteral("\U0001F600");
    const QString name = ConversationFileName(faces, {}, date);
    EXPECT_EQ(name.toUcs4().size(), MaxFileNameStem + QStringLiteral(" 2024-05-03.txt").size());
    EXPECT_TRUE(name.startsWith(QStringLiteral("\U0001F600")));
}

// The texts of the menu that `open` pops up; empty when none comes up.
QStringList MenuOffered(const std::function<void()>& open)
{
    QStringList texts;
    QObject whileOpen;
    QTimer::singleShot(0, &whileOpen, [&texts] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (const QAction* action : menu->actions())
                texts.append(action->text());
            menu->close();
        }
    });
    open();
    return texts;
}

void RightClick(QWidget& widget, const QPoint& at)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, widget.mapToGlobal(at));
    QApplication::sendEvent(&widget, &event);
}

TEST(SaveConversation, FromTheMenusOrCtrlSAndAFailedWriteSaysWhy)
{
    TScratchFolder scratch("quillet-save");
    const QDir folder(QString::fromStdString(scratch.Path.string()));
    TFakeTickSource ticks { 100000 };
    TFakePrompts prompts;
    TChatForm form;
    form.SetPromptService(&prompts);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QStringList offered;
    QString answer;
    TConversationTabHooks hooks;
    hooks.ChooseSaveFile = [&](QWidget*, const QString& suggested) {
        offered.append(suggested);
        return answer;
    };
    TConversationRig rig(form, ticks, hooks);
    rig.Tab->ShowPeerAddress("10.0.0.2", "2323");
    rig.Greet("Zo\xEB/Miller");
    rig.Owner.Engine.ProcessIncoming("hello\r");
    rig.Tab->RefreshControls();
    TRichPane& local = *rig.Tab->Controls().LocalPane;
    ASSERT_EQ(QApplication::focusWidget(), &local);
    QTest::keyClicks(&local, QStringLiteral("hi"));

    // Ctrl+S where the keyboard is in the tab.
    answer = folder.filePath(QStringLiteral("saved.txt"));
    QTest::keyClick(&local, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(offered.size(), 1);
    EXPECT_EQ(QFileInfo(offered[0]).fileName(),
        QStringLiteral("Zoë_Miller ") + QDate::currentDate().toString(Qt::ISODate)
            + QStringLiteral(".txt"));
    EXPECT_TRUE(QFileInfo(offered[0]).dir().exists());
    const QString text = FileText(answer);
    EXPECT_TRUE(text.startsWith(
        QStringLiteral("Conversation with Zoë/Miller (10.0.0.2, port 2323), saved ")))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("\n\nhello\n\nTyped by Alice:\nhi\n")))
        << text.toStdString();
    EXPECT_TRUE(prompts.Errors.empty());
    EXPECT_EQ(local.Text(), QStringLiteral("hi")) << "the shortcut types nothing";

    const QString save = QStringLiteral("&Save Conversation\u2026");
    TRichPane& transcript = *rig.Tab->Controls().Transcript;
    TTabStrip& strip = form.Tabs().Strip();
    EXPECT_TRUE(MenuOffered([&] { RightClick(*transcript.viewport(), { 5, 5 }); }).contains(save));
    EXPECT_TRUE(MenuOffered([&] { RightClick(strip, strip.TabRect(0).center()); }).contains(save));
    EXPECT_EQ(offered.size(), 1) << "opening a menu saves nothing";

    // Cancelled: nothing written, nothing said. The folder saved to is offered next.
    answer.clear();
    rig.Tab->Controls().SaveConversation->trigger();
    ASSERT_EQ(offered.size(), 2);
    EXPECT_EQ(QFileInfo(offered[1]).absolutePath(), folder.absolutePath());
    EXPECT_TRUE(prompts.Errors.empty());

    answer = folder.filePath(QStringLiteral("missing/saved.txt"));
    rig.Tab->Controls().SaveConversation->trigger();
    ASSERT_EQ(prompts.Errors.size(), 1u);
    EXPECT_EQ(prompts.Errors[0],
        "The conversation could not be saved to " + answer.toStdString()
            + ": No such file or directory.");
}

} // namespace
} // namespace quillet
