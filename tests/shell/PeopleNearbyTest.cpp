#include "ShellTestSupport.h"
#include "support/FakeNearbyService.h"

#include "nearby/qt/TNearbyPeopleView.h"
#include "nearby/qt/TPeopleNearbyForm.h"
#include "phonebook/TEditRecord.h"
#include "platform/ProfileFile.h"
#include "shell/TMainForm.h"
#include "shell/TPeopleNearby.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace quillet {
namespace {

namespace fs = std::filesystem;
using Calls = std::vector<std::string>;

class PeopleNearbyShell : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Root.isValid());
        Settings = test::PathOf(Root) / "settings.ini";
        test::WriteWholeFile(Settings, "[Settings]\nUser name=Ann\n");
    }

    std::unique_ptr<TPeopleNearby> MakeNearby(TPeopleNearby::THooks hooks = {})
    {
        return std::make_unique<TPeopleNearby>(Service, Settings, std::move(hooks));
    }

    QTemporaryDir Root;
    fs::path Settings;
    testing::TFakeNearbyService Service;
};

// What the settings file says and whether calls are answered decide the announcement (the
// rules themselves are the announcement's own tests').
TEST_F(PeopleNearbyShell, TheAnnouncementFollowsTheSettingsAndTheListener)
{
    auto nearby = MakeNearby();
    const struct {
        const char* What;
        const char* Key;
        const char* Value;
        int Port; // -1: unchanged
        Calls Expected;
    } steps[] = {
        { "answering, not chosen", nullptr, nullptr, 2323, {} },
        { "chosen", "Visible Nearby", "1", -1, { "announce Ann 2323" } },
        { "a new own name", "User name", "Ann Smith", -1, { "announce Ann Smith 2323" } },
        { "the port taken", nullptr, nullptr, 0, { "withdraw" } },
        { "answering again, but a value other than 1 is off", "Visible Nearby", "yes", 2323, {} },
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.What);
        Service.Calls.clear();
        if (step.Key != nullptr) {
            ASSERT_TRUE(profile::WriteString(Settings, "Settings", step.Key, step.Value));
        }
        if (step.Port >= 0)
            nearby->ListenPortChanged(static_cast<std::uint16_t>(step.Port));
        else
            nearby->SettingsChanged();
        EXPECT_EQ(Service.Calls, step.Expected);
    }

    // At exit the announcement goes, and nothing brings it back.
    ASSERT_TRUE(profile::WriteString(Settings, "Settings", "Visible Nearby", "1"));
    nearby->SettingsChanged();
    nearby->Withdraw();
    Service.Calls.clear();
    nearby->SettingsChanged();
    nearby->ListenPortChanged(2323);
    EXPECT_EQ(Service.Calls, Calls {});
    EXPECT_FALSE(Service.Announced.has_value());
}

// Who is a contact is the rows' to say (and their tests'); dialing follows what they say, and the
// window weighs its rows against the phonebook as it is when it opens and whenever it changes.
TEST_F(PeopleNearbyShell, APersonIsDialedInTheirContactsStyleOnlyWhenTheyAreTheContact)
{
    std::vector<std::tuple<std::string, std::string, TChatStyle>> dialed;
    std::vector<TNearbyContact> phonebook { { "Ann", "169.254.23.1", "2424" },
        { "Odd", "169.254.23.1", "2424" } };
    TPeopleNearby::THooks hooks;
    hooks.Dial = [&](const std::string& address, const std::string& port, TChatStyle style) {
        dialed.emplace_back(address, port, style);
    };
    hooks.ContactStyle = [](const std::string& name) -> std::optional<TChatStyle> {
        if (name == "Ann")
            return TChatStyle::Realtime;
        if (name == "Odd")
            return static_cast<TChatStyle>(9);
        return std::nullopt;
    };
    hooks.Contacts = [&] { return phonebook; };
    auto nearby = MakeNearby(hooks);
    nearby->ShowForm();
    const struct {
        const char* Name;
        const char* Address;
        TChatStyle Expected;
    } rows[] = {
        { "Ann", "169.254.23.1", TChatStyle::Realtime },
        { "ANN", "169.254.23.1", TChatStyle::Realtime }, // her copy, under another case
        { "Ann", "169.254.23.9", TChatStyle::IMPreview }, // not her, whatever the name says
        { "Bob", "169.254.23.1", TChatStyle::IMPreview },
        { "Odd", "169.254.23.1", TChatStyle::IMPreview }, // a style without a button
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.Name) + " at " + row.Address);
        dialed.clear();
        Service.Appear(row.Name, row.Address, 2, 2424);
        ASSERT_EQ(nearby->People().RowCount(), 1u);
        nearby->Dial(nearby->People().Row(0));
        Service.Leave(row.Name);
        ASSERT_EQ(dialed.size(), 1u);
        EXPECT_EQ(dialed[0],
            std::make_tuple(std::string(row.Address), std::string("2424"), row.Expected));
    }

    Service.Appear("Ann", "169.254.23.9", 2, 2424);
    EXPECT_EQ(nearby->People().Row(0).Standing, TNearbyStanding::NotContact);
    phonebook[0].Address = "169.254.23.9";
    nearby->PhonebookChanged();
    EXPECT_EQ(nearby->People().Row(0).Standing, TNearbyStanding::Contact);
}

TEST_F(PeopleNearbyShell, TheWindowIsMadeWhenFirstShownAndLooksOnlyWhileOpen)
{
    auto nearby = MakeNearby();
    EXPECT_EQ(Service.Calls, Calls {}) << "nothing is asked of the daemon before it is needed";
    nearby->ShowForm();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&nearby->Form()));
    EXPECT_EQ(nearby->Form().windowTitle(), QStringLiteral("People Nearby"));
    EXPECT_EQ(Service.Calls, Calls { "browse" });
    Service.Appear("Bob", "169.254.23.2");
    EXPECT_EQ(nearby->People().RowCount(), 1u);
    nearby->Form().close();
    EXPECT_EQ(Service.Calls, (Calls { "browse", "stop" }));
    EXPECT_EQ(nearby->People().RowCount(), 0u) << "a closed window keeps nobody";
}

class PeopleNearbyMenu : public PeopleNearbyShell {
protected:
    std::unique_ptr<TMainForm> MakeForm(TMainFormDependencies uses = {})
    {
        uses.ShowPeopleNearby = [this] { ++Opened; };
        uses.NearbySettingsChanged = [this] { ++SettingsChanges; };
        return std::make_unique<TMainForm>(Settings, true, test::Prompts(), std::move(uses));
    }

    int Opened = 0;
    int SettingsChanges = 0;
};

TEST_F(PeopleNearbyMenu, BothItemsAreReachedFromTheKeyboard)
{
    auto form = MakeForm();
    EXPECT_FALSE(form->VisibleNearbyItem->isChecked()) << "off until the user turns it on";
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    for (const Qt::Key item : { Qt::Key_N, Qt::Key_V }) {
        QTest::keyClick(form.get(), Qt::Key_M, Qt::AltModifier);
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->MenuGroup->isVisible(); }, 2000));
        QTest::keyClick(form->MenuGroup, item);
    }
    EXPECT_EQ(Opened, 1);
    EXPECT_EQ(SettingsChanges, 1);
    EXPECT_TRUE(form->VisibleNearbyItem->isChecked());
    EXPECT_EQ(profile::ReadString(Settings, "Settings", "Visible Nearby", ""), "1");
}

TEST_F(PeopleNearbyMenu, VisibleNearbyIsStoredAndAFailedWriteChangesNothing)
{
    ASSERT_TRUE(profile::WriteString(Settings, "Settings", "Visible Nearby", "1"));
    auto form = MakeForm();
    EXPECT_TRUE(form->VisibleNearbyItem->isChecked());
    form->VisibleNearbyItem->trigger();
    EXPECT_FALSE(form->VisibleNearbyItem->isChecked());
    EXPECT_EQ(profile::ReadString(Settings, "Settings", "Visible Nearby", ""), "0");
    EXPECT_EQ(SettingsChanges, 1);

    // A settings file that cannot be written: the error box says so and the choice stays.
    test::WriteWholeFile(test::PathOf(Root) / "file", "");
    Settings = test::PathOf(Root) / "file" / "settings.ini";
    auto stuck = MakeForm();
    stuck->VisibleNearbyItem->trigger();
    EXPECT_FALSE(stuck->VisibleNearbyItem->isChecked());
    EXPECT_EQ(test::Prompts().Errors,
        std::vector<std::string> { "Unable to write to " + Settings.string() + "." });
    EXPECT_EQ(SettingsChanges, 1);
}

TEST_F(PeopleNearbyMenu, MyNameRenewsTheAnnouncement)
{
    QDialog setup;
    TMainFormDependencies uses;
    uses.SetupForm = &setup;
    uses.RunModal = [](QDialog&) {};
    auto form = MakeForm(uses);
    form->SetupItem->trigger();
    EXPECT_EQ(SettingsChanges, 1);
}

TEST_F(PeopleNearbyMenu, AddToPhonebookOpensTheEditorFilledWithThePerson)
{
    TEditRecord editor;
    TMainFormDependencies uses;
    uses.EditRecord = &editor;
    std::vector<std::tuple<QString, QString, QString>> shown;
    uses.RunModal = [&](QDialog& dialog) {
        ASSERT_EQ(&dialog, &editor);
        editor.FormShow(); // as showing it runs it
        shown.emplace_back(
            editor.UserNameEdit->text(), editor.IPAddrEdit->text(), editor.PortEdit->text());
        // Ok the first time; a refused entry comes back, and then the user gives up.
        if (shown.size() == 1)
            editor.Button1Click();
        else
            editor.reject();
    };
    auto form = MakeForm(uses);
    form->AddNearbyContact("Bob Miller", "169.254.23.2", "2424");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(
        shown[0], std::make_tuple(QString("Bob Miller"), QString("169.254.23.2"), QString("2424")));
    const TUserRecordType* bob = form->PhonebookHandlers().Phonebook().FindUser("Bob Miller");
    ASSERT_NE(bob, nullptr);
    EXPECT_EQ(bob->IPAddress, "169.254.23.2");
    EXPECT_EQ(bob->Port, "2424");
    EXPECT_EQ(bob->Style, TChatStyle::IMPreview);

    // The same person again: Add's own check refuses the name at once, and the editor shows the
    // person for another name.
    form->AddNearbyContact("Bob Miller", "169.254.23.2", "2424");
    EXPECT_EQ(
        test::Prompts().Messages, std::vector<std::string> { "Name already exists. Can not add" });
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1], shown[0]);
}

} // namespace
} // namespace quillet
