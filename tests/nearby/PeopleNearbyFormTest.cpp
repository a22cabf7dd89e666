#include "nearby/TNearbyPeople.h"
#include "nearby/qt/TNearbyPeopleModel.h"
#include "nearby/qt/TNearbyPeopleView.h"
#include "nearby/qt/TPeopleNearbyForm.h"
#include "support/FakeNearbyService.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet {
namespace {

class PeopleNearbyForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        Service.SetListener(&People);
        Form.OnDial = [this](const TNearbyPerson& person) { Dialed.push_back(person.Name); };
        Form.OnAddToPhonebook = [this](const TNearbyPerson& person) { Added.push_back(person); };
        Form.OnShown = [this] { ++Shown; };
        Form.OnClosed = [this] { ++Closed; };
        People.ServiceStateChanged(TNearbyServiceState::Running);
    }

    void ShowAndActivate()
    {
        Form.ShowForm();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
    }

    // A double click as the user makes it: press, release, and the second press.
    void DoubleClick(QPoint at)
    {
        QTest::mouseClick(Form.PeopleList->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(Form.PeopleList->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }

    QRect RowRect(int row) const
    {
        return Form.PeopleList->visualRect(Form.PeopleList->model()->index(row, 0));
    }

    TNearbyPeople People;
    testing::TFakeNearbyService Service;
    TPeopleNearbyForm Form { People };
    std::vector<std::string> Dialed;
    std::vector<TNearbyPerson> Added;
    int Shown = 0;
    int Closed = 0;
};

TEST_F(PeopleNearbyForm, AnEmptyListSaysWhy)
{
    const struct {
        TNearbyServiceState State;
        const char* Says;
    } rows[] = {
        { TNearbyServiceState::NotRunning,
            "needs the Avahi service (avahi-daemon), and it is not running" },
        { TNearbyServiceState::Running, "Nobody nearby is visible yet" },
        { TNearbyServiceState::Connecting, "Looking for people nearby" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Says);
        People.ServiceStateChanged(row.State);
        EXPECT_TRUE(Form.PeopleList->EmptyText().contains(QString::fromUtf8(row.Says)))
            << Form.PeopleList->EmptyText().toStdString();
        EXPECT_EQ(Form.PeopleList->accessibleDescription(), Form.PeopleList->EmptyText());
    }
}

TEST_F(PeopleNearbyForm, TheListHasTheKeyboardAndTheFirstPersonIsSelected)
{
    ShowAndActivate();
    EXPECT_EQ(QApplication::focusWidget(), Form.PeopleList);
    EXPECT_EQ(Shown, 1);
    EXPECT_FALSE(Form.DialButton->isEnabled());
    EXPECT_FALSE(Form.AddButton->isEnabled());

    // People arrive after the window opened: the top row is selected, where the user looks.
    Service.Appear("Bob", "10.0.0.2");
    Service.Appear("Ann", "10.0.0.1");
    ASSERT_TRUE(Form.SelectedPerson().has_value());
    EXPECT_EQ(Form.SelectedPerson()->Name, "Ann");
    EXPECT_TRUE(Form.DialButton->isEnabled());
    EXPECT_TRUE(Form.AddButton->isEnabled());
    // Once the user has picked someone, newcomers do not take the selection away.
    QTest::keyClick(Form.PeopleList, Qt::Key_Down);
    Service.Appear("Abe", "10.0.0.3");
    EXPECT_EQ(Form.SelectedPerson()->Name, "Bob");

    Service.Leave("Ann");
    Service.Leave("Bob");
    Service.Leave("Abe");
    EXPECT_FALSE(Form.SelectedPerson().has_value());
    EXPECT_FALSE(Form.DialButton->isEnabled());
}

TEST_F(PeopleNearbyForm, EnterOrADoubleClickDialsTheSelectedPersonAndAddHandsItOn)
{
    Service.Appear("Ann", "10.0.0.1");
    Service.Appear("Bob", "10.0.0.2", 2, 2424);
    ShowAndActivate();
    QTest::keyClick(Form.PeopleList, Qt::Key_Down);
    QTest::keyClick(Form.PeopleList, Qt::Key_Return);
    EXPECT_EQ(Dialed, std::vector<std::string> { "Bob" });

    DoubleClick(RowRect(0).center());
    EXPECT_EQ(Dialed, (std::vector<std::string> { "Bob", "Ann" }));
    // Below the last row there is nobody to dial.
    DoubleClick(QPoint(5, Form.PeopleList->viewport()->height() - 3));
    EXPECT_EQ(Dialed.size(), 2u);

    QTest::keyClick(Form.PeopleList, Qt::Key_Down);
    QTest::mouseClick(Form.AddButton, Qt::LeftButton);
    ASSERT_EQ(Added.size(), 1u);
    EXPECT_EQ(Added[0], (TNearbyPerson { "Bob", { "Bob-pc.local", "10.0.0.2", 2424 } }));
}

TEST_F(PeopleNearbyForm, ClosingStopsLookingUntilItIsOpenedAgain)
{
    ShowAndActivate();
    QTest::keyClick(Form.PeopleList, Qt::Key_Escape);
    EXPECT_FALSE(Form.isVisible());
    EXPECT_EQ(Closed, 1);
    ShowAndActivate();
    EXPECT_EQ(Shown, 2);
    // Being minimised is not being closed.
    Form.showMinimized();
    QApplication::processEvents();
    EXPECT_EQ(Closed, 1);
}

TEST_F(PeopleNearbyForm, TheLineUnderTheListSaysWhetherOthersSeeThisCopy)
{
    const struct {
        bool Chosen;
        const char* Announced;
        bool Full;
        const char* Says;
    } rows[] = {
        { false, "", false, "Others cannot see you. Menu > Visible Nearby shows you to them." },
        { true, "", false,
            "Others will see you as soon as Quillet answers calls and the Avahi service runs." },
        { true, "Ann #2", false, "Others nearby see you as \u201CAnn #2\u201D." },
        { true, "<b>Ann</b>", true,
            "Others nearby see you as \u201C<b>Ann</b>\u201D. More people are around than the list "
            "holds; it shows 2." },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Says);
        Form.SetVisibleNearby(row.Chosen);
        People.AnnouncedAs(row.Announced);
        if (row.Full) {
            // Names that never say where they are fill what the list keeps; it shows two.
            for (std::size_t i = 3; i <= TNearbyPeople::MaxServices; ++i)
                Service.Appear("Silent " + std::to_string(i), "");
            for (const char* name : { "Ann", "Bob", "Cy" })
                Service.Appear(name, "10.0.0.1");
        }
        EXPECT_EQ(Form.StatusLabel->text(), QString::fromUtf8(row.Says));
        EXPECT_EQ(Form.StatusLabel->textFormat(), Qt::PlainText);
    }
    EXPECT_EQ(Form.PeopleList->model()->rowCount(), 2);
}

TEST_F(PeopleNearbyForm, ARowThatIsNotTheContactItsNameReadsLikeSaysSo)
{
    People.SetContacts({ { "Jane Doe", "10.0.0.50", "2323" } });
    Service.Appear("Jane Doe", "10.0.0.1");
    Service.Appear("Jane Doe 2", "10.0.0.2");
    const QAbstractItemModel& rows = *Form.PeopleList->model();
    const QModelIndex impostor = rows.index(0, 0);
    EXPECT_EQ(impostor.data(TNearbyPeopleModel::WarningRole).toString(),
        QStringLiteral("Not your contact Jane Doe"));
    EXPECT_EQ(impostor.data(Qt::AccessibleDescriptionRole).toString(),
        QStringLiteral("Not your contact Jane Doe \u00B7 Jane Doe-pc \u00B7 10.0.0.1"));
    EXPECT_TRUE(impostor.data(Qt::ToolTipRole)
                    .toString()
                    .contains(QStringLiteral("<br><b>Not your contact Jane Doe</b><br>")));
    const QModelIndex stranger = rows.index(1, 0);
    EXPECT_EQ(stranger.data(TNearbyPeopleModel::WarningRole).toString(), QString());
    EXPECT_EQ(stranger.data(Qt::AccessibleDescriptionRole).toString(),
        QStringLiteral("Jane Doe 2-pc \u00B7 10.0.0.2"));
}

TEST_F(PeopleNearbyForm, OutsideNamesAreNeverTakenForMarkup)
{
    Service.Appear("<img src=x>", "10.0.0.1");
    const QModelIndex row = Form.PeopleList->model()->index(0, 0);
    EXPECT_EQ(row.data(Qt::DisplayRole).toString(), QStringLiteral("<img src=x>"));
    const QString tip = row.data(Qt::ToolTipRole).toString();
    EXPECT_TRUE(tip.contains(QStringLiteral("&lt;img src=x&gt;"))) << tip.toStdString();
    EXPECT_FALSE(tip.contains(QStringLiteral("<img")));
    EXPECT_EQ(row.data(TNearbyPeopleModel::ComputerRole).toString(),
        QStringLiteral("<img src=x>-pc \u00B7 10.0.0.1"));
}

} // namespace
} // namespace quillet
