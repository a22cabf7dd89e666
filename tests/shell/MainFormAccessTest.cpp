#include "ShellTestSupport.h"

#include "phonebook/TEditRecord.h"
#include "phonebook/TUsersListingBox.h"
#include "shell/TAboutForm.h"
#include "shell/TLinkLabel.h"
#include "shell/TMainForm.h"
#include "shell/TSetupForm.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace quillet {
namespace {

// The main window as the program makes it, with its two dialogs recorded instead of shown.
class MainFormAccess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Root.isValid());
        TMainFormDependencies uses;
        uses.SetupForm = &Setup;
        uses.AboutForm = &About;
        uses.RunModal = [this](QDialog& dialog) { Shown.push_back(&dialog); };
        uses.OnCloseAccepted = [this] { ++ClosesAccepted; };
        Form = std::make_unique<TMainForm>(
            test::PathOf(Root) / "settings.ini", true, test::Prompts(), std::move(uses));
    }

    void ShowAndActivate()
    {
        Form->show();
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    }

    QTemporaryDir Root;
    QDialog Setup;
    QDialog About;
    std::vector<QDialog*> Shown;
    int ClosesAccepted = 0;
    std::unique_ptr<TMainForm> Form;
};

TEST_F(MainFormAccess, TheMenuAndEachItemAreReachedFromTheKeyboard)
{
    const struct {
        Qt::Key Opener;
        Qt::KeyboardModifiers OpenerModifiers;
        Qt::Key Item;
        QDialog* Dialog; // null: Exit
    } rows[] = {
        { Qt::Key_M, Qt::AltModifier, Qt::Key_M, &Setup },
        { Qt::Key_F10, Qt::NoModifier, Qt::Key_A, &About },
        { Qt::Key_M, Qt::AltModifier, Qt::Key_X, nullptr },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(QKeySequence(row.Opener | row.OpenerModifiers).toString().toStdString());
        ShowAndActivate();
        Shown.clear();
        QTest::keyClick(Form.get(), row.Opener, row.OpenerModifiers);
        ASSERT_TRUE(QTest::qWaitFor([&] { return Form->MenuGroup->isVisible(); }, 2000));
        QTest::keyClick(Form->MenuGroup, row.Item);
        EXPECT_FALSE(Form->MenuGroup->isVisible());
        if (row.Dialog != nullptr) {
            EXPECT_EQ(Shown, std::vector<QDialog*> { row.Dialog });
        } else {
            EXPECT_TRUE(Form->ExitRequested);
            EXPECT_EQ(ClosesAccepted, 1);
        }
    }
}

// A mnemonic only underlines a letter: the captions read as before.
TEST_F(MainFormAccess, MenusHaveMnemonicsAndKeepTheirCaptions)
{
    const struct {
        QAction* Action;
        const char* Caption;
    } rows[] = {
        { Form->MenuGroup->menuAction(), "Menu" },
        { Form->SetupItem, "My Name" },
        { Form->PeopleNearbyItem, "People Nearby" },
        { Form->VisibleNearbyItem, "Visible Nearby" },
        { Form->About1, "About" },
        { Form->Exit1, "Exit" },
        { Form->ShowMenu, "Show" },
        { Form->HideMenu, "Hide" },
        { Form->ExitMenu, "Exit" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Caption);
        QString shown = row.Action->text();
        EXPECT_EQ(shown.count(QLatin1Char('&')), 1);
        EXPECT_EQ(shown.remove(QLatin1Char('&')), QLatin1String(row.Caption));
    }

    // The tray menu, opened by its right press, takes the keyboard too.
    Form->TrayMessage(QSystemTrayIcon::Context);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form->PopupMenu1->isVisible(); }, 2000));
    QTest::keyClick(Form->PopupMenu1, Qt::Key_S);
    EXPECT_TRUE(Form->isVisible());
}

TEST_F(MainFormAccess, ShrinkingStopsWhereEveryControlStillFits)
{
    ShowAndActivate();
    Form->resize(40, 40);
    const QWidget& central = *Form->centralWidget();
    ASSERT_TRUE(QTest::qWaitFor([&] { return central.size() == central.minimumSize(); }, 2000))
        << central.width() << "x" << central.height();
    const QSize client = central.size();
    EXPECT_GT(Form->minimumWidth(), 40);
    EXPECT_GT(Form->minimumHeight(), 40);
    EXPECT_LE(Form->minimumWidth(), 140) << "the width the window appears with";

    const QRect menu = Form->MainMenu1->actionGeometry(Form->MenuGroup->menuAction());
    EXPECT_FALSE(menu.isEmpty());
    EXPECT_TRUE(Form->MainMenu1->rect().contains(menu)) << "Menu is not folded away";
    const QRect list = Form->UsersListingBox->geometry();
    EXPECT_GE(list.height(), 3 * Form->UsersListingBox->fontMetrics().height());
    const QRect dial = Form->DialButton->geometry();
    EXPECT_TRUE(QRect(QPoint(0, 0), client).contains(dial));
    EXPECT_FALSE(dial.intersects(list));
    for (const TLinkLabel* label : { Form->AddLabel, Form->EditLabel, Form->DeleteLabel }) {
        SCOPED_TRACE(label->text().toStdString());
        EXPECT_TRUE(QRect(QPoint(0, 0), client).contains(label->geometry()));
        EXPECT_FALSE(label->geometry().intersects(list));
        EXPECT_FALSE(label->geometry().intersects(dial));
    }
}

// What a screen reader reads for each control of the main window and the dialogs.
TEST_F(MainFormAccess, EveryControlOfTheWindowsAndDialogsHasAnAccessibleName)
{
    const TSetupForm setup(test::PathOf(Root) / "settings.ini");
    const TAboutForm about(
        test::PathOf(Root) / "settings.ini", "README.md", "LICENSE", test::Prompts());
    const TEditRecord editor;
    const struct {
        QWidget* Control;
        const char* Name;
    } rows[] = {
        { Form->Label8, "Select a user:" },
        { Form->UsersListingBox, "Phonebook" },
        { Form->AddLabel, "Add" },
        { Form->EditLabel, "Edit" },
        { Form->DeleteLabel, "Delete" },
        { Form->DialButton, "Dial" },
        { setup.Label1, "Please type your name for the call identification:" },
        { setup.NameEdit, "Your name" },
        { setup.NameOkButton, "Ok" },
        { about.Label5, "Quillet v0.5e" },
        { about.Button1, "Ok" },
        { editor.UserNameEdit, "Name" },
        { editor.IPAddrEdit, "IP Address" },
        { editor.PortEdit, "Port Number" },
        { editor.PortDefaultCheckbox, "Uses default port" },
        { editor.RealtimeRadio, "Realtime" },
        { editor.IMRadio, "IM" },
        { editor.IMPreviewRadio, "IM with preview" },
        { editor.Button2, "Cancel" },
        { editor.Button1, "Ok" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(row.Control);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->text(QAccessible::Name), QString::fromUtf8(row.Name));
    }
}

} // namespace
} // namespace quillet
