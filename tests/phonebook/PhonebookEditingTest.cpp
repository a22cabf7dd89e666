// Adding, editing and deleting contacts through the real contact editor, the list's selection
// and enabled states, as a user at the main window meets them.
#include "support/PhonebookRig.h"
#include "support/TroublesomeText.h"

#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quillet {
namespace {

using testing::TPhonebookRig;
using TUsers = std::vector<TUserRecordType>;
using TStrings = std::vector<std::string>;
using TAnswer = IPromptService::TAnswer;

constexpr auto Realtime = TChatStyle::Realtime;
constexpr auto IM = TChatStyle::IM;
constexpr auto Preview = TChatStyle::IMPreview;

// A refused entry: its messages, then the editor again with every field as typed and the
// offending field focused, until the entry passes or the editor is cancelled.
struct TRefusedCase {
    const char* What;
    QString Name, Address, Port; // typed; a port clears the default-port box
    TStrings Messages;
    QLineEdit* TEditRecord::*Focused;
};

TEST(PhonebookEditingTest, ARefusedEntryKeepsWhatWasTypedAndFocusesTheOffendingField)
{
    const std::vector<TRefusedCase> cases = {
        { "blank fields", " ", "\t", {}, { "Name can not be blank", "IP address can not be blank" },
            &TEditRecord::UserNameEdit },
        { "blank address", "Kim", " ", {}, { "IP address can not be blank" },
            &TEditRecord::IPAddrEdit },
        { "a port that is no number", "Kim", "10.0.0.9", "99999x",
            { "Port must be a whole number from 1 to 65535" }, &TEditRecord::PortEdit },
    };
    for (const TRefusedCase& c : cases) {
        SCOPED_TRACE(c.What);
        TPhonebookRig rig({ "Ann=10.0.0.7,2323,3" });
        const auto type = [&c](TEditRecord& e) {
            e.UserNameEdit->setText(c.Name);
            e.IPAddrEdit->setText(c.Address);
            e.IMRadio->click();
            if (!c.Port.isEmpty()) {
                e.PortDefaultCheckbox->click();
                e.PortEdit->setText(c.Port);
            }
        };
        rig.EditorSteps.push_back(TPhonebookRig::Ok(type));
        // The second showing: everything as typed, the offending field focused; then Cancel.
        rig.EditorSteps.push_back([&c, &rig](TEditRecord& e) {
            EXPECT_EQ(rig.Prompts.Messages, c.Messages);
            EXPECT_EQ(e.UserNameEdit->text(), c.Name);
            EXPECT_EQ(e.IPAddrEdit->text(), c.Address);
            EXPECT_EQ(e.PortEdit->text(), c.Port.isEmpty() ? QString("2323") : c.Port);
            EXPECT_EQ(e.PortDefaultCheckbox->isChecked(), c.Port.isEmpty());
            EXPECT_TRUE(e.IMRadio->isChecked());
            EXPECT_EQ(e.focusWidget(), e.*c.Focused);
            e.Button2->click();
        });
        const std::string before = rig.ReadFile();
        rig.Phonebook.AddLabelClick();
        EXPECT_TRUE(rig.EditorSteps.empty());
        EXPECT_EQ(rig.ReadFile(), before); // Cancel stores nothing
        EXPECT_EQ(rig.Users(), rig.StoredSorted());
    }

    // Mended in the editor shown again, the entry is stored.
    TPhonebookRig rig({ "Ann=10.0.0.7,2323,3" });
    rig.EditorSteps.push_back(TPhonebookRig::Enter("Ann", "10.0.0.9"));
    rig.EditorSteps.push_back(
        TPhonebookRig::Ok([](TEditRecord& e) { e.UserNameEdit->setText("Kim"); }));
    rig.Phonebook.AddLabelClick();
    EXPECT_EQ(rig.Stored(),
        (TUsers {
            { "Ann", "10.0.0.7", "2323", Preview }, { "Kim", "10.0.0.9", "2323", Preview } }));
}

struct TAddCase {
    const char* What;
    TPhonebookRig::TEditorStep Step;
    TStrings Messages;
    TUsers After; // what a restart reads
};

TEST(PhonebookEditingTest, AddStoresTheTrimmedEntryOrSaysWhyNot)
{
    const auto typed = [](const QString& name, const QString& address,
                           std::function<void(TEditRecord&)> more = {}) {
        return TPhonebookRig::Ok([=](TEditRecord& editor) {
            editor.UserNameEdit->setText(name);
            editor.IPAddrEdit->setText(address);
            if (more)
                more(editor);
        });
    };
    const TUserRecordType ann { "Ann", "10.0.0.7", "2323", Preview };
    const std::vector<TAddCase> cases = {
        { "trimmed", typed("  Kim \t", " 10.0.0.9\n"), {},
            { ann, { "Kim", "10.0.0.9", "2323", Preview } } },
        { "a style picked", typed("Kim", "h", [](TEditRecord& e) { e.IMRadio->click(); }), {},
            { ann, { "Kim", "h", "2323", IM } } },
        { "a port typed",
            typed("Kim", "h",
                [](TEditRecord& e) {
                    e.PortDefaultCheckbox->click();
                    e.PortEdit->setText(" 5000 ");
                }),
            {}, { ann, { "Kim", "h", "5000", Preview } } },
    };
    for (const TAddCase& c : cases) {
        SCOPED_TRACE(c.What);
        TPhonebookRig rig({ "Ann=10.0.0.7,2323,3" });
        rig.EditorSteps.push_back(c.Step);
        rig.Phonebook.AddLabelClick();
        EXPECT_EQ(rig.Prompts.Messages, c.Messages);
        EXPECT_EQ(rig.Stored(), c.After);
        EXPECT_EQ(rig.Users(), c.After);
    }
}

// The default-port box as each showing sets it, and the port stored after Ok.
struct TPortCase {
    const char* What;
    const char* EditedPort; // the contact edited; nullptr: Add
    bool BoxChecked; // at the showing
    std::function<void(TEditRecord&)> User;
    const char* Stored;
};

TEST(PhonebookEditingTest, TheDefaultPortBoxFollowsThePortAndOkReadsIt)
{
    const std::vector<TPortCase> cases = {
        { "Add, box cleared, field emptied", nullptr, true,
            [](TEditRecord& e) {
                e.PortDefaultCheckbox->click();
                // Clearing the box offers the default port to edit.
                EXPECT_TRUE(e.PortEdit->isEnabled());
                EXPECT_EQ(e.PortEdit->text(), "2323");
                e.PortEdit->clear();
            },
            "2323" },
        { "Add, box cleared, 5000 typed, box checked again", nullptr, true,
            [](TEditRecord& e) {
                e.PortDefaultCheckbox->click();
                e.PortEdit->setText("5000");
                e.PortDefaultCheckbox->click();
                EXPECT_FALSE(e.PortEdit->isEnabled());
            },
            "2323" },
        { "Edit of a port 5000 contact", "5000", false, {}, "5000" },
        { "Edit of a port 2323 contact", "2323", true, {}, "2323" },
    };
    for (const TPortCase& c : cases) {
        SCOPED_TRACE(c.What);
        TPhonebookRig rig(
            { std::string("Ann=10.0.0.7,") + (c.EditedPort ? c.EditedPort : "2323") + ",2" });
        // The editor is reused: the use before this one ended with the box checked, or clear.
        rig.EditorSteps.push_back(TPhonebookRig::Ok([&c](TEditRecord& e) {
            e.PortDefaultCheckbox->setChecked(!c.BoxChecked);
            e.UserNameEdit->clear();
        }));
        rig.Phonebook.AddLabelClick();
        rig.Prompts.Messages.clear();

        rig.EditorSteps.push_back(TPhonebookRig::Ok([&c](TEditRecord& e) {
            EXPECT_EQ(e.PortDefaultCheckbox->isChecked(), c.BoxChecked);
            EXPECT_EQ(e.PortEdit->isEnabled(), !c.BoxChecked);
            if (c.EditedPort != nullptr) {
                EXPECT_EQ(e.PortEdit->text().toStdString(), c.EditedPort);
            }
            if (c.User)
                c.User(e);
            if (c.EditedPort == nullptr) {
                e.UserNameEdit->setText("Kim");
                e.IPAddrEdit->setText("10.0.0.9");
            }
        }));
        rig.Select("Ann");
        if (c.EditedPort != nullptr)
            rig.Phonebook.EditLabelClick();
        else
            rig.Phonebook.AddLabelClick();
        EXPECT_EQ(rig.Prompts.Messages, TStrings {});
        const TUserRecordType* stored
            = rig.Phonebook.Phonebook().FindUser(c.EditedPort ? "Ann" : "Kim");
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(stored->Port, c.Stored);
    }
}

struct TEditCase {
    const char* What;
    TPhonebookRig::TEditorStep Step;
    TStrings Messages;
    TUsers After; // what a restart reads, in the order of the file
};

TEST(PhonebookEditingTest, EditAppliesTheChecksOfAdd)
{
    const TUserRecordType ann { "Ann", "10.0.0.7", "5000", IM };
    const TUserRecordType bob { "Bob", "10.0.0.8", "2323", Preview };
    const auto change
        = [](std::function<void(TEditRecord&)> edit) { return TPhonebookRig::Ok(std::move(edit)); };
    const std::vector<TEditCase> cases = {
        { "unchanged", change({}), {}, { bob, ann } },
        { "renamed", change([](TEditRecord& e) { e.UserNameEdit->setText(" Anna "); }), {},
            { bob, { "Anna", "10.0.0.7", "5000", IM } } },
        { "onto another contact's name",
            change([](TEditRecord& e) { e.UserNameEdit->setText("Bob"); }),
            { "Name already exists. Can not add" }, { ann, bob } },
        { "Cancel", TPhonebookRig::Cancel(), {}, { ann, bob } },
    };
    for (const TEditCase& c : cases) {
        SCOPED_TRACE(c.What);
        TPhonebookRig rig({ "Ann=10.0.0.7,5000,2", "Bob=10.0.0.8" });
        rig.Phonebook.Phonebook().SaveUsers(); // the file in full, as the refused edits leave it
        rig.Select("Ann");
        rig.EditorSteps.push_back(c.Step);
        rig.Phonebook.EditLabelClick();
        EXPECT_EQ(rig.Prompts.Messages, c.Messages);
        EXPECT_EQ(rig.Stored(), c.After);
    }
}

TEST(PhonebookEditingTest, AStyleWithoutARadioButtonIsKeptUnlessOneIsPicked)
{
    for (const bool pick : { false, true }) {
        TPhonebookRig rig({ "Odd=10.0.0.7,2323,7" });
        rig.EditorSteps.push_back(TPhonebookRig::Ok([pick](TEditRecord& e) {
            EXPECT_FALSE(e.RealtimeRadio->isChecked() || e.IMRadio->isChecked()
                || e.IMPreviewRadio->isChecked());
            if (pick)
                e.IMRadio->click();
        }));
        // The editor's last use left a radio button checked.
        rig.Editor.IMPreviewRadio->setChecked(true);
        rig.Phonebook.EditLabelClick();
        EXPECT_EQ(
            rig.Stored(), (TUsers { { "Odd", "10.0.0.7", "2323", pick ? IM : TChatStyle { 7 } } }));
    }
}

TEST(PhonebookEditingTest, DeleteAsksWithTheNameInUpperCaseAndOnlyYesActs)
{
    TPhonebookRig rig({ "Ann=1", "zo\xC3\xAB & co=2" });
    rig.Phonebook.Phonebook().SaveUsers();
    const std::string before = rig.ReadFile();
    struct stat beforeStat { };
    ASSERT_EQ(::stat(rig.Settings.c_str(), &beforeStat), 0);

    for (const TAnswer answer : { TAnswer::No, TAnswer::Cancel }) {
        rig.Select("zo\xC3\xAB & co");
        rig.Prompts.Answer = answer;
        rig.Phonebook.DeleteLabelClick();
    }
    EXPECT_EQ(rig.Prompts.Questions, TStrings(2, "Delete this user: \"ZO\xC3\xAB & CO\"?"));
    EXPECT_EQ(rig.Rows(), (TStrings { "Ann", "zo\xC3\xAB & co" }));
    struct stat afterStat { };
    ASSERT_EQ(::stat(rig.Settings.c_str(), &afterStat), 0);
    EXPECT_EQ(rig.ReadFile(), before);
    EXPECT_EQ(afterStat.st_ino, beforeStat.st_ino); // not even rewritten

    rig.Select("zo\xC3\xAB & co");
    rig.Prompts.Answer = TAnswer::Yes;
    rig.Phonebook.DeleteLabelClick();
    EXPECT_EQ(rig.Rows(), TStrings { "Ann" });
    EXPECT_EQ(rig.Stored(), (TUsers { { "Ann", "1", "2323", Preview } }));
}

// The selection stays at the row position of the last change, not with the contact.
struct TSelectionCase {
    const char* What;
    TStrings Names;
    const char* Selected;
    std::function<void(TPhonebookRig&)> Change;
    const char* Expected;
};

TEST(PhonebookEditingTest, TheSelectionKeepsItsRowPositionAcrossChanges)
{
    const auto add = [](const char* name) {
        return [name](TPhonebookRig& rig) {
            rig.EditorSteps.push_back(TPhonebookRig::Enter(name, "10.0.0.1"));
            rig.Phonebook.AddLabelClick();
        };
    };
    const auto rename = [](const char* name) {
        return [name](TPhonebookRig& rig) {
            rig.EditorSteps.push_back(
                TPhonebookRig::Ok([name](TEditRecord& e) { e.UserNameEdit->setText(name); }));
            rig.Phonebook.EditLabelClick();
        };
    };
    const auto remove = [](TPhonebookRig& rig) { rig.Phonebook.DeleteLabelClick(); };
    const auto cancelEdit = [](TPhonebookRig& rig) {
        rig.EditorSteps.push_back(TPhonebookRig::Cancel());
        rig.Phonebook.EditLabelClick();
    };
    const std::vector<TSelectionCase> cases = {
        { "add before the selection", { "A", "C" }, "C", add("B"), "B" },
        { "add after the selection", { "A", "C" }, "C", add("Z"), "C" },
        { "delete in the middle", { "A", "B", "C" }, "B", remove, "C" },
        { "delete the last row", { "A", "C" }, "C", remove, "A" },
        { "rename", { "A", "B", "C" }, "B", rename("D"), "C" },
        // Cancel saves no position: the list goes back to the one of start-up, row 0.
        { "cancelled edit", { "A", "B", "C" }, "C", cancelEdit, "A" },
    };
    for (const TSelectionCase& c : cases) {
        SCOPED_TRACE(c.What);
        TStrings lines;
        for (const std::string& name : c.Names)
            lines.push_back(name + "=1");
        TPhonebookRig rig(lines);
        rig.Select(c.Selected);
        c.Change(rig);
        EXPECT_EQ(rig.Selected(), c.Expected);
    }
}

TEST(PhonebookEditingTest, AnEmptyPhonebookLeavesOnlyAddAndItsFirstContactIsSelected)
{
    TPhonebookRig rig; // no file: the built-in contact
    EXPECT_EQ(rig.Rows(), TStrings { "Jane Doe" });
    EXPECT_TRUE(rig.DialButton->isEnabled());
    rig.Phonebook.DeleteLabelClick();
    EXPECT_EQ(rig.Rows(), TStrings {});
    EXPECT_EQ(rig.Selected(), "<none>");
    EXPECT_FALSE(rig.EditLabel->isEnabled());
    EXPECT_FALSE(rig.DeleteLabel->isEnabled());
    EXPECT_FALSE(rig.DialButton->isEnabled());
    EXPECT_EQ(rig.ReadFile(), ""); // the last contact gone: no section left

    rig.EditorSteps.push_back(TPhonebookRig::Enter("Kim", "10.0.0.9"));
    rig.Phonebook.AddLabelClick();
    EXPECT_EQ(rig.Selected(), "Kim");
    EXPECT_TRUE(
        rig.EditLabel->isEnabled() && rig.DeleteLabel->isEnabled() && rig.DialButton->isEnabled());
}

TEST(PhonebookEditingTest, AFailedSaveLeavesTheListAsTheFileHoldsItAndReportsIt)
{
    TPhonebookRig rig({ "Ann=1" });
    std::filesystem::remove(rig.Settings);
    std::filesystem::create_directory(rig.Settings); // a folder where the file should be
    rig.EditorSteps.push_back(TPhonebookRig::Enter("Kim", "10.0.0.9"));
    EXPECT_THROW(rig.Phonebook.AddLabelClick(), std::runtime_error);
    EXPECT_EQ(rig.Rows(), TStrings { "Ann" });
    EXPECT_EQ(rig.Prompts.Messages, TStrings {});
}

TEST(PhonebookEditingTest, TheEditorClosesOnlyThroughItsButtonsEscAndTheCloseBox)
{
    TEditRecord editor;
    for (const Qt::Key key : { Qt::Key_Return, Qt::Key_Enter }) {
        editor.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
        EXPECT_TRUE(editor.UserNameEdit->hasFocus());
        QTest::keyClick(editor.UserNameEdit, key);
        EXPECT_TRUE(editor.isVisible());
        QTest::keyClick(editor.UserNameEdit, Qt::Key_Escape);
        EXPECT_FALSE(editor.isVisible());
        EXPECT_EQ(editor.result(), QDialog::Rejected);
    }
    editor.show();
    editor.close();
    EXPECT_EQ(editor.result(), QDialog::Rejected);
    editor.show();
    editor.Button1->click();
    EXPECT_EQ(editor.result(), QDialog::Accepted);
}

// Any sequence of adds, edits, deletes and offers, with names and fields made of pieces that
// trouble the file format: after each step the list shows exactly what a restart would read, and
// no save ever fails.
TEST(PhonebookEditingTest, AfterAnySequenceOfChangesTheListEqualsTheFileAndEverySaveSucceeds)
{
    testing::TTroublesomeText random(16);
    const auto text = [&random] { return random.Next(5); };
    const auto typeAnything = [&] {
        // Mostly the default port: a typed one is rarely a port number.
        const std::string port = random.Below(4) == 0 ? text() : std::string();
        return TPhonebookRig::Ok([name = text(), address = text(), port](TEditRecord& e) {
            e.UserNameEdit->setText(QString::fromStdString(name));
            e.IPAddrEdit->setText(QString::fromStdString(address));
            if (!port.empty()) {
                e.PortDefaultCheckbox->setChecked(false);
                e.PortEdit->setText(QString::fromStdString(port));
            }
        });
    };
    TPhonebookRig rig({ "Ann=10.0.0.7", "Bob=10.0.0.8,5000,2" });
    for (int step = 0; step < 1000; ++step) {
        SCOPED_TRACE(step);
        // Whatever the editor shows again after a refusal is cancelled.
        rig.EditorSteps = { typeAnything(), TPhonebookRig::Cancel() };
        if (!rig.Rows().empty())
            rig.Select(rig.Rows()[random.Below(static_cast<unsigned>(rig.Rows().size()))]);
        rig.Prompts.Answer = random.Below(2) == 0 ? TAnswer::Yes : TAnswer::No;
        try {
            switch (random.Below(8)) {
            case 0:
            case 1:
            case 2:
                rig.Phonebook.AddLabelClick();
                break;
            case 3:
            case 4:
                rig.Phonebook.EditLabelClick();
                break;
            case 5:
                rig.Phonebook.DeleteLabelClick();
                break;
            default:
                rig.Phonebook.OfferAddUser(text(), "10.1.0." + std::to_string(random.Below(4)),
                    static_cast<TChatStyle>(1 + random.Below(3)));
                rig.Prompts.AnswerBackground(rig.Prompts.Answer);
                break;
            }
        } catch (const std::exception& error) {
            FAIL() << error.what();
        }
        ASSERT_EQ(rig.Users(), rig.StoredSorted());
        ASSERT_EQ(rig.Phonebook.Phonebook().ReadUsers().Repaired, std::nullopt);
        rig.Phonebook.UpdateUsersList();
    }
    EXPECT_GT(rig.Rows().size(), 20U); // the sequence did build a phonebook
}

} // namespace
} // namespace quillet
