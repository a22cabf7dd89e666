#include "ShellTestSupport.h"

#include "platform/ProfileFile.h"
#include "shell/TSetupForm.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quillet {
namespace {

namespace fs = std::filesystem;

class TSetupFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Root.isValid());
        Settings = test::PathOf(Root) / "settings.ini";
    }

    std::string StoredName() const
    {
        return profile::ReadString(Settings, "Settings", "User name", "<none>");
    }

    // Shown without a modal loop, as the program's exec() would show it.
    static void ShowAndActivate(TSetupForm& form)
    {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }

    QTemporaryDir Root;
    fs::path Settings;
};

TEST_F(TSetupFormTest, FieldIsFilledFromTheFileOnceAtCreation)
{
    ASSERT_TRUE(profile::WriteString(Settings, "Settings", "User name", "Alice"));
    TSetupForm form(Settings);
    EXPECT_EQ(form.NameEdit->text(), "Alice");

    // A name stored later is not picked up by showing the dialog again.
    ASSERT_TRUE(profile::WriteString(Settings, "Settings", "User name", "Bob"));
    ShowAndActivate(form);
    EXPECT_EQ(form.NameEdit->text(), "Alice");
    EXPECT_TRUE(form.NameEdit->hasFocus());
}

TEST_F(TSetupFormTest, EmptyOkWritesNothingFocusesTheFieldAndStaysOpen)
{
    TSetupForm form(Settings);
    ShowAndActivate(form);
    form.NameOkButton->setFocus();
    QTest::mouseClick(form.NameOkButton, Qt::LeftButton);
    EXPECT_TRUE(form.isVisible());
    EXPECT_NE(form.result(), QDialog::Accepted);
    EXPECT_TRUE(form.NameEdit->hasFocus());
    EXPECT_FALSE(fs::exists(Settings));

    QTest::keyClick(form.NameEdit, Qt::Key_Return);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(fs::exists(Settings));
}

TEST_F(TSetupFormTest, EnterOrOkSavesTheNameAsTypedAndCloses)
{
    for (const bool byEnter : { true, false }) {
        SCOPED_TRACE(byEnter ? "Enter" : "Ok");
        fs::remove(Settings);
        TSetupForm form(Settings);
        ShowAndActivate(form);
        int returnPressed = 0;
        QObject::connect(
            form.NameEdit, &QLineEdit::returnPressed, [&returnPressed] { ++returnPressed; });
        QTest::keyClicks(form.NameEdit, "  Dora  ");
        if (byEnter)
            QTest::keyClick(form.NameEdit, Qt::Key_Return);
        else
            QTest::mouseClick(form.NameOkButton, Qt::LeftButton);

        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(form.result(), QDialog::Accepted);
        if (byEnter) {
            EXPECT_EQ(returnPressed, 0); // the key goes no further than the dialog's own handling
        }
        // No trimming by the dialog: the blanks reach the file (the file's reader trims them).
        EXPECT_THAT(test::ReadWholeFile(Settings), ::testing::HasSubstr("User name=  Dora  \n"));
        EXPECT_EQ(StoredName(), "Dora");
    }
}

TEST_F(TSetupFormTest, EscapeDoesNotCloseTheDialog)
{
    TSetupForm form(Settings);
    ShowAndActivate(form);
    QTest::keyClicks(form.NameEdit, "Fay");
    QTest::keyClick(form.NameEdit, Qt::Key_Escape);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.NameEdit->text(), "Fay");
}

TEST_F(TSetupFormTest, CloseBoxWritesNothingAndTheUnsavedTextIsThereNextTime)
{
    ASSERT_TRUE(profile::WriteString(Settings, "Settings", "User name", "Gus"));
    const std::string before = test::ReadWholeFile(Settings);
    TSetupForm form(Settings);
    ShowAndActivate(form);
    form.NameEdit->clear();
    QTest::keyClicks(form.NameEdit, "Hal");
    ASSERT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(test::ReadWholeFile(Settings), before);

    ShowAndActivate(form);
    EXPECT_EQ(form.NameEdit->text(), "Hal");
    EXPECT_EQ(StoredName(), "Gus");
}

TEST_F(TSetupFormTest, FailedWriteIsReportedAndTheDialogStaysOpenWithItsText)
{
    // A plain file where the folder should be: the write fails for root too.
    test::WriteWholeFile(test::PathOf(Root) / "blocker", "");
    const fs::path unwritable = test::PathOf(Root) / "blocker" / "settings.ini";
    TSetupForm form(unwritable);
    ShowAndActivate(form);
    QTest::keyClicks(form.NameEdit, "Ivy");
    QTest::keyClick(form.NameEdit, Qt::Key_Return);

    ASSERT_EQ(test::Prompts().Errors.size(), 1u);
    EXPECT_EQ(test::Prompts().Errors[0], "Unable to write to " + unwritable.string() + ".");
    EXPECT_TRUE(form.isVisible());
    EXPECT_NE(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.NameEdit->text(), "Ivy");
}

TEST_F(TSetupFormTest, ANameIsStoredAndReadBackWhole)
{
    // UTF-8 text, and a name beyond the field's default limit of 32,767 characters.
    for (const std::string& name :
        { std::string("Zo\xC3\xAB \xE2\x9C\x93"), std::string(40000, 'n') }) {
        SCOPED_TRACE(name.substr(0, 10));
        TSetupForm form(Settings);
        ShowAndActivate(form);
        form.NameEdit->setText(QString::fromStdString(name));
        QTest::keyClick(form.NameEdit, Qt::Key_Return);
        EXPECT_EQ(StoredName(), name);
        // A dialog made afterwards shows it as it was typed.
        TSetupForm next(Settings);
        EXPECT_EQ(next.NameEdit->text().toStdString(), name);
    }
}

TEST_F(TSetupFormTest, APastedMultiLineNameStaysOneLineAndInjectsNothing)
{
    TSetupForm form(Settings);
    ShowAndActivate(form);
    QApplication::clipboard()->setText(
        QStringLiteral("Eve\n[Users Section]\r\nMallory=10.0.0.9\t\x01"));
    QTest::keyClick(form.NameEdit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(form.NameEdit->text(), "Eve[Users Section]Mallory=10.0.0.9");
    QTest::keyClick(form.NameEdit, Qt::Key_Return);
    EXPECT_EQ(StoredName(), "Eve[Users Section]Mallory=10.0.0.9");
    EXPECT_EQ(profile::ListSections(Settings), std::vector<std::string> { "Settings" });
}

TEST_F(TSetupFormTest, ShownCentredOnThePrimaryScreenWithItsFixedSize)
{
    TSetupForm form(Settings);
    ShowAndActivate(form);
    EXPECT_EQ(form.size(), QSize(306, 115));
    EXPECT_EQ(form.windowTitle(), "Setup");
    const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((form.frameGeometry().center() - screenCentre).manhattanLength(), 2);
}

} // namespace
} // namespace quillet
