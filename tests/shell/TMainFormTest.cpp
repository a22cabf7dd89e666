#include "ShellTestSupport.h"

#include "phonebook/TEditRecord.h"
#include "phonebook/TUsersListingBox.h"
#include "platform/ProfileFile.h"
#include "shell/TLinkLabel.h"
#include "shell/TMainForm.h"
#include "shell/TSetupForm.h"
#include "skin/Lzhuf.h"
#include "skin/SkinPackageWriter.h"
#include "skin/SkinText.h"
#include "skin/TSkinPackage.h"

#include <QAction>
#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <stdexcept>

namespace quillet {
namespace {

namespace fs = std::filesystem;

class TMainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Root.isValid());
        Settings = test::PathOf(Root) / "settings.ini";
    }

    std::unique_ptr<TMainForm> MakeForm(bool trayAvailable, TMainFormDependencies uses = {})
    {
        uses.OnCloseAccepted = [this] { ++ClosesAccepted; };
        return std::make_unique<TMainForm>(
            Settings, trayAvailable, test::Prompts(), std::move(uses));
    }

    // The texts shown in the background as `kind`, in order.
    static std::vector<std::string> Notices(IPromptService::TNotice kind)
    {
        std::vector<std::string> texts;
        for (const auto& [shown, text] : test::Prompts().Notices) {
            if (shown == kind)
                texts.push_back(text);
        }
        return texts;
    }

    static void ShowAndActivate(QWidget& window)
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QTemporaryDir Root;
    fs::path Settings;
    int ClosesAccepted = 0;
};

// --- layout and placement

TEST_F(TMainFormTest, ResizingTheWindowLaysOutTheControls)
{
    auto form = MakeForm(true);
    ShowAndActivate(*form);
    form->resize(200, 500 + form->MainMenu1->height());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form->centralWidget()->size() == QSize(200, 500); }, 2000))
        << form->centralWidget()->width() << "x" << form->centralWidget()->height();
    EXPECT_EQ(form->UsersListingBox->geometry(), QRect(5, 40, 190, 410));
    for (TLinkLabel* label : { form->AddLabel, form->EditLabel, form->DeleteLabel })
        EXPECT_EQ(label->y(), 452);
    // Their lefts stay where they were put.
    EXPECT_EQ(form->AddLabel->x(), 12);
    EXPECT_EQ(form->EditLabel->x(), 41);
    EXPECT_EQ(form->DeleteLabel->x(), 70);
    EXPECT_EQ(form->DialButton->geometry(), QRect(140, 470, 55, 25));
}

TEST_F(TMainFormTest, ShowingPlacesTheWindowInTheTopRightCornerWithOuterWidth140)
{
    auto form = MakeForm(true);
    form->move(10, 300);
    ShowAndActivate(*form);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect frame = form->frameGeometry();
    EXPECT_EQ(frame.width(), 140);
    EXPECT_EQ(frame.top(), screen.top() + 5);
    EXPECT_EQ(frame.right(), screen.right() - 5);
    // It first appears with the stored client height.
    EXPECT_EQ(form->centralWidget()->height(), 420);
    EXPECT_TRUE(form->isActiveWindow());

    // Moved away and made taller while visible, the window is placed again when it next
    // appears; its height stays.
    form->resize(form->width(), 500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->height() == 500; }, 2000));
    form->move(20, 200);
    form->hide();
    form->ShowMainForm();
    EXPECT_EQ(form->frameGeometry().topRight(), QPoint(screen.right() - 5, screen.top() + 5));
    EXPECT_EQ(form->frameGeometry().width(), 140);
    EXPECT_EQ(form->height(), 500);
}

// --- close rules

TEST_F(TMainFormTest, CloseBoxOnTheActiveWindowOnlyHidesIt)
{
    auto form = MakeForm(true);
    ShowAndActivate(*form);
    EXPECT_FALSE(form->close());
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->ExitRequested);
    EXPECT_FALSE(form->CloseAccepted());
    EXPECT_EQ(ClosesAccepted, 0);
}

TEST_F(TMainFormTest, ExitItemsEndTheProgramEvenFromTheActiveWindow)
{
    for (bool fromTray : { false, true }) {
        ClosesAccepted = 0;
        auto form = MakeForm(true);
        ShowAndActivate(*form);
        (fromTray ? form->ExitMenu : form->Exit1)->trigger();
        EXPECT_TRUE(form->ExitRequested);
        EXPECT_TRUE(form->CloseAccepted());
        EXPECT_EQ(ClosesAccepted, 1);
        EXPECT_FALSE(form->isVisible());
    }
}

TEST_F(TMainFormTest, ExitWhileHiddenEndsTheProgram)
{
    auto form = MakeForm(true);
    form->ExitMenu->trigger();
    EXPECT_EQ(ClosesAccepted, 1);
}

TEST_F(TMainFormTest, CloseRequestWhileAnotherWindowIsActiveGoesThrough)
{
    auto form = MakeForm(true);
    ShowAndActivate(*form);
    QWidget other;
    ShowAndActivate(other);
    ASSERT_FALSE(form->isActiveWindow());

    EXPECT_TRUE(form->close());
    EXPECT_TRUE(form->ExitRequested);
    EXPECT_EQ(ClosesAccepted, 1);
}

TEST_F(TMainFormTest, CloseQueryThatHidesLeavesExitRequestedFalse)
{
    auto form = MakeForm(true);
    ShowAndActivate(*form);
    EXPECT_FALSE(form->FormCloseQuery());
    EXPECT_FALSE(form->ExitRequested);
    form->ExitRequested = true;
    EXPECT_TRUE(form->FormCloseQuery());
    EXPECT_TRUE(form->ExitRequested);
}

TEST_F(TMainFormTest, WithoutATrayTheCloseBoxMinimisesAndActivationRestores)
{
    auto form = MakeForm(false);
    EXPECT_EQ(form->TrayIcon, nullptr);
    ShowAndActivate(*form);
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->isMinimized());
    EXPECT_EQ(ClosesAccepted, 0);

    EXPECT_TRUE(form->ActivateFromSecondCopy());
    EXPECT_FALSE(form->isMinimized());
}

TEST_F(TMainFormTest, LogOffIsNeverHeldUp)
{
    auto form = MakeForm(true);
    ShowAndActivate(*form);
    EXPECT_TRUE(form->EndSessionQuery());
    EXPECT_TRUE(form->ExitRequested);
    // The next close, from whatever side, goes through.
    EXPECT_TRUE(form->close());
    EXPECT_EQ(ClosesAccepted, 1);
}

// --- tray icon

TEST_F(TMainFormTest, LeftPressOnTheTrayIconTogglesTheWindow)
{
    auto form = MakeForm(true);
    ASSERT_NE(form->TrayIcon, nullptr);
    EXPECT_EQ(form->TrayIcon->toolTip(), "Quillet");

    form->TrayMessage(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->frameGeometry().top(), QGuiApplication::primaryScreen()->geometry().top() + 5);
    form->TrayMessage(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(form->isVisible());
    // A double click has toggled once already, on its first press.
    form->TrayMessage(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(TMainFormTest, RightPressOpensThePopupMenuWhoseItemsShowAndHide)
{
    auto form = MakeForm(true);
    form->TrayMessage(QSystemTrayIcon::Context);
    EXPECT_TRUE(form->PopupMenu1->isVisible());
    form->PopupMenu1->close();

    form->ShowMenu->trigger();
    EXPECT_TRUE(form->isVisible());
    form->HideMenu->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->TrayIcon->isVisible());
}

TEST_F(TMainFormTest, TrayIsIgnoredWhileTheOwnNameDialogIsOpen)
{
    QDialog setup;
    TMainFormDependencies uses;
    uses.SetupForm = &setup;
    auto form = MakeForm(true, uses);
    setup.show();
    form->TrayMessage(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(form->isVisible());
    form->TrayMessage(QSystemTrayIcon::Context);
    EXPECT_FALSE(form->PopupMenu1->isVisible());

    setup.hide();
    form->TrayMessage(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(form->isVisible());
}

// --- activation, chat window, labels

TEST_F(TMainFormTest, ActivationShowsAHiddenWindowInTheCornerAndInFront)
{
    auto form = MakeForm(true);
    EXPECT_TRUE(form->ActivateFromSecondCopy());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(
        form->frameGeometry().right(), QGuiApplication::primaryScreen()->geometry().right() - 5);
}

TEST_F(TMainFormTest, MouseOverTheListShowsTheChatWindowOnlyWithAConversation)
{
    QWidget chat;
    int tabs = 0;
    TMainFormDependencies uses;
    uses.ChatForm = &chat;
    uses.ChatTabCount = [&tabs] { return tabs; };
    auto form = MakeForm(true, uses);

    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(form->UsersListingBox, &enter);
    EXPECT_FALSE(chat.isVisible());

    tabs = 1;
    QCoreApplication::sendEvent(form->UsersListingBox, &enter);
    EXPECT_TRUE(chat.isVisible());
}

TEST_F(TMainFormTest, LabelsTakeTheHoverColourWhileThePointerIsOverThem)
{
    auto form = MakeForm(true);
    for (TLinkLabel* label : { form->AddLabel, form->EditLabel, form->DeleteLabel }) {
        EXPECT_EQ(label->TextColor(), QColor(0x00, 0x40, 0x80));
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(label, &enter);
        EXPECT_EQ(label->TextColor(), QColor(0x00, 0x60, 0xC0));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(label, &leave);
        EXPECT_EQ(label->TextColor(), QColor(0x00, 0x40, 0x80));
    }
}

TEST_F(TMainFormTest, CloseAllChatsCallsTheHookWhenThereIsOne)
{
    MakeForm(true)->CloseAllChats(); // no hook: nothing to do
    int calls = 0;
    TMainFormDependencies uses;
    uses.CloseAllChats = [&calls] { ++calls; };
    MakeForm(true, uses)->CloseAllChats();
    EXPECT_EQ(calls, 1);
}

// --- skin

// A stored package holding only a description that names the skin.
std::vector<std::uint8_t> NamedSkin(const std::string& name)
{
    const std::string description = "[TitlebarSkin]\r\nSkinName=" + name + "\r\n";
    const skin::TSkinPackageEntry entries[]
        = { { "named.ini", { description.begin(), description.end() } } };
    return skin::BuildSkinContainer(entries);
}

// A stored package of another version, without entries.
std::vector<std::uint8_t> OlderSkin()
{
    std::vector<std::uint8_t> package;
    for (const std::int32_t field : { 19999, 0, 0, 0 })
        skin::text::AppendInt32(package, field);
    const std::vector<std::uint8_t> code = skin::LzhufEncode(package);
    std::vector<std::uint8_t> container;
    skin::text::AppendInt32(container, static_cast<std::int32_t>(4 + code.size()));
    skin::text::AppendInt32(container, static_cast<std::int32_t>(package.size()));
    container.insert(container.end(), code.begin(), code.end());
    return container;
}

TEST_F(TMainFormTest, SkinFileChoosesTheSkinAndOneMessageSaysWhenItCannotBeUsed)
{
    const auto write = [&](const char* name, const std::vector<std::uint8_t>& bytes) {
        test::WriteWholeFile(
            Settings.parent_path() / name, std::string(bytes.begin(), bytes.end()));
    };
    write("mine.skin", NamedSkin("Mine"));
    write("old.skin", OlderSkin());
    const std::string gone = (Settings.parent_path() / "gone.skin").string();
    const struct {
        const char* Setting;
        bool Active;
        const char* SkinName;
        std::vector<std::string> Messages;
    } rows[] = {
        { "", true, "Quillet", {} },
        { "Skin file=none\n", false, "", {} },
        { "Skin file=mine.skin\n", true, "Mine", {} },
        { "Skin file=gone.skin\n", true, "Quillet",
            { "The skin file \"" + gone
                + "\" was not found. Quillet uses its built-in skin instead." } },
        { "Skin file=old.skin\n", true, "Quillet",
            { std::string(skin::TSkinPackage::VersionMessage) } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Setting);
        test::Prompts().Clear(IPromptService::TAnswer::Cancel);
        test::WriteWholeFile(Settings, std::string("[Settings]\nUser name=Ann\n") + row.Setting);
        auto form = MakeForm(true);
        EXPECT_EQ(form->SkinData1->Active(), row.Active);
        if (row.Active) {
            EXPECT_EQ(form->SkinData1->Skin()->Name, row.SkinName);
        }
        // Told once the event loop runs, in the background, not while the window is made.
        EXPECT_TRUE(test::Prompts().Notices.empty());
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        EXPECT_EQ(Notices(IPromptService::TNotice::Message), row.Messages);
        EXPECT_TRUE(test::Prompts().Messages.empty());
    }
}

// --- phonebook

TEST_F(TMainFormTest, AStyleThatIsNoNumberIsReportedOnceWhenTheEventLoopRuns)
{
    test::WriteWholeFile(Settings, "[Users Section]\nAnn=1,2323,two\nBob=2,2323,x\nCy=3\n");
    auto form = MakeForm(true);
    // The window is complete, with every contact, before anything is shown.
    EXPECT_EQ(form->UsersListingBox->Count(), 3);
    EXPECT_TRUE(test::Prompts().Notices.empty());
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(Notices(IPromptService::TNotice::Error),
        std::vector<std::string> { "'two' is not a valid integer value." });
    EXPECT_TRUE(test::Prompts().Errors.empty());
}

TEST_F(TMainFormTest, ASettingsPathThatIsAFolderIsSaidAtStartAndNoSaveKeepsAContact)
{
    fs::create_directory(Settings);
    QDialog setupForm;
    TMainFormDependencies uses;
    uses.SetupForm = &setupForm;
    int showings = 0;
    uses.RunModal = [&showings](QDialog&) { ++showings; };
    auto form = MakeForm(true, uses);
    // No name can be stored: the program does not ask for one again and again.
    form->CheckUserName();
    EXPECT_EQ(showings, 0);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(Notices(IPromptService::TNotice::Message),
        std::vector<std::string> { "Quillet cannot use its settings file " + Settings.string()
            + ": it is a folder, not a file. It runs without your name and phonebook and writes "
              "nothing there until that is mended." });
    form->OfferAddUser("Kim", "10.0.0.9", TChatStyle::IM);
    ASSERT_TRUE(test::Prompts().AnswerBackground(IPromptService::TAnswer::Yes));
    EXPECT_EQ(test::Prompts().Errors,
        std::vector<std::string> {
            "Unable to write to " + Settings.string() + ": it is a folder, not a file." });
    // The list shows what the file holds: the contact is not kept; the conversation is not
    // told.
    EXPECT_EQ(form->UsersListingBox->Count(), 1);
    EXPECT_EQ(form->PhonebookHandlers().Phonebook().FindUser("Kim"), nullptr);
}

TEST_F(TMainFormTest, TheLabelsRunTheirHandlers)
{
    TEditRecord editor;
    TMainFormDependencies uses;
    uses.EditRecord = &editor;
    int showings = 0;
    uses.RunModal = [&showings](QDialog& dialog) {
        auto& editRecord = static_cast<TEditRecord&>(dialog);
        // Ok at the first showing, the close box afterwards.
        if (++showings > 1)
            return;
        editRecord.UserNameEdit->setText("Kim");
        editRecord.IPAddrEdit->setText("10.0.0.9");
        editRecord.Button1Click();
    };
    auto form = MakeForm(true, uses);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QTest::mouseClick(form->AddLabel, Qt::LeftButton);
    EXPECT_EQ(showings, 1);
    EXPECT_EQ(form->UsersListingBox->Count(), 2);

    QTest::mouseClick(form->EditLabel, Qt::LeftButton);
    EXPECT_EQ(showings, 2);
    QTest::mouseClick(form->DeleteLabel, Qt::LeftButton);
    EXPECT_EQ(
        test::Prompts().Questions, std::vector<std::string> { "Delete this user: \"JANE DOE\"?" });
}

// Another program replaces settings.ini while the window is open (an editor saving it): the list,
// the Visible Nearby mark and the announcement follow it, and a contact added afterwards joins
// what the file holds then; an edit of a contact that program changed meanwhile asks first.
TEST_F(TMainFormTest, AnotherProgramsChangeToTheSettingsIsFollowedAndKept)
{
    const auto saveAsAnEditorDoes = [this](const std::string& content) {
        std::ofstream(Settings.string() + ".new", std::ios::binary) << content;
        fs::rename(Settings.string() + ".new", Settings);
    };
    saveAsAnEditorDoes("[Users Section]\nBob=10.0.0.2\n");
    TEditRecord editor;
    std::function<void(TEditRecord&)> inEditor;
    TMainFormDependencies uses;
    uses.EditRecord = &editor;
    uses.RunModal = [&](QDialog&) {
        if (inEditor)
            std::exchange(inEditor, nullptr)(editor);
    };
    int nearbyChanges = 0;
    uses.NearbySettingsChanged = [&] { ++nearbyChanges; };
    auto form = MakeForm(true, uses);

    saveAsAnEditorDoes(
        "[Settings]\nVisible Nearby=1\n[Users Section]\nBob=10.0.0.2\nCy=10.0.0.3\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->UsersListingBox->Count() == 2; }, 5000));
    EXPECT_TRUE(form->VisibleNearbyItem->isChecked());
    EXPECT_EQ(nearbyChanges, 1);

    inEditor = [](TEditRecord& e) {
        e.UserNameEdit->setText("Kim");
        e.IPAddrEdit->setText("10.0.0.9");
        e.Button1Click();
    };
    form->PhonebookHandlers().AddLabelClick();
    EXPECT_EQ(profile::ReadSection(Settings, "Users Section"),
        (std::vector<profile::TProfileEntry> { { "Bob", "10.0.0.2,2323,3" },
            { "Cy", "10.0.0.3,2323,3" }, { "Kim", "10.0.0.9,2323,3" } }));

    // Bob is edited while the other program moves him; only Yes stores the edit over that.
    using TAnswer = IPromptService::TAnswer;
    for (const auto& [answer, theirs, stored] :
        { std::tuple { TAnswer::No, "10.0.0.20", "10.0.0.20" },
            std::tuple { TAnswer::Yes, "10.0.0.21", "10.0.0.20,2424,3" } }) {
        form->UsersListingBox->setCurrentIndex(form->UsersListingBox->model()->index(0, 0));
        inEditor = [&, theirs = std::string(theirs)](TEditRecord& e) {
            saveAsAnEditorDoes("[Users Section]\nBob=" + theirs + "\n");
            e.PortEdit->setText("2424");
            e.Button1Click();
        };
        test::Prompts().Clear(answer);
        form->PhonebookHandlers().EditLabelClick();
        EXPECT_EQ(test::Prompts().Questions,
            std::vector<std::string> { "Another program changed \"BOB\" in " + Settings.string()
                + " while you edited it. Store your version?" });
        EXPECT_EQ(profile::ReadSection(Settings, "Users Section"),
            (std::vector<profile::TProfileEntry> { { "Bob", stored } }));
    }
}

TEST_F(TMainFormTest, DisabledLabelsDoNothing)
{
    auto form = MakeForm(true);
    test::Prompts().Answer = IPromptService::TAnswer::Yes;
    form->PhonebookHandlers().DeleteLabelClick(); // the built-in contact: the list is empty
    ASSERT_FALSE(form->DeleteLabel->isEnabled());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    test::Prompts().Clear(IPromptService::TAnswer::Cancel);
    QTest::mouseClick(form->DeleteLabel, Qt::LeftButton);
    QTest::mouseClick(form->EditLabel, Qt::LeftButton);
    EXPECT_TRUE(test::Prompts().Questions.empty());
}

// --- own name and dialogs

TEST_F(TMainFormTest, MenuItemsShowTheirDialogsModally)
{
    QDialog setup;
    QDialog about;
    std::vector<QDialog*> shown;
    TMainFormDependencies uses;
    uses.SetupForm = &setup;
    uses.AboutForm = &about;
    uses.RunModal = [&shown](QDialog& dialog) { shown.push_back(&dialog); };
    auto form = MakeForm(true, uses);
    form->SetupItem->trigger();
    form->About1->trigger();
    EXPECT_EQ(shown, (std::vector<QDialog*> { &setup, &about }));
}

TEST_F(TMainFormTest, OwnNameIsReadAnewEachTime)
{
    auto form = MakeForm(true);
    EXPECT_EQ(form->GetUserNameFromIni(), "");
    ASSERT_TRUE(profile::WriteString(Settings, "Settings", "User name", "Jo"));
    EXPECT_EQ(form->GetUserNameFromIni(), "Jo");
    ASSERT_TRUE(profile::WriteString(Settings, "Settings", "User name", ""));
    EXPECT_EQ(form->GetUserNameFromIni(), "");
}

TEST_F(TMainFormTest, CheckUserNameAsksUntilANameIsReallyStored)
{
    TSetupForm setup(Settings);
    TMainFormDependencies uses;
    uses.SetupForm = &setup;
    int showings = 0;
    uses.RunModal = [&showings](QDialog& dialog) {
        auto& setupForm = static_cast<TSetupForm&>(dialog);
        ++showings;
        dialog.show();
        if (showings == 1) {
            dialog.close(); // the close box: nothing stored
        } else if (showings == 2) {
            setupForm.NameOkButtonClick(); // empty field: the dialog stays open
            dialog.close();
        } else {
            setupForm.NameEdit->setText("Kim");
            setupForm.NameOkButtonClick();
        }
    };
    auto form = MakeForm(true, uses);
    form->CheckUserName();
    EXPECT_EQ(showings, 3);
    EXPECT_EQ(form->GetUserNameFromIni(), "Kim");

    // With a name stored the dialog is not shown at all.
    form->CheckUserName();
    EXPECT_EQ(showings, 3);
}

TEST_F(TMainFormTest, CheckUserNameStopsWhenTheProgramIsEnding)
{
    QDialog setup;
    std::unique_ptr<TMainForm> form;
    TMainFormDependencies uses;
    uses.SetupForm = &setup;
    int showings = 0;
    uses.RunModal = [&](QDialog&) {
        ++showings;
        form->ExitMenu->trigger();
    };
    form = MakeForm(true, uses);
    form->CheckUserName();
    EXPECT_EQ(showings, 1);
    EXPECT_TRUE(form->CloseAccepted());
}

} // namespace
} // namespace quillet
