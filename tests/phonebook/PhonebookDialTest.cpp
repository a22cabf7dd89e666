// Dialing from the list and the offer to add a caller after a conversation.
#include "PhonebookRig.h"

#include <QTest>

#include <gtest/gtest.h>

namespace quillet {
namespace {

using testing::TDialed;
using testing::TPhonebookRig;
using TUsers = std::vector<TUserRecordType>;
using TStrings = std::vector<std::string>;
using TAnswer = IPromptService::TAnswer;

// A double click in the list's own area, below the rows when there is room: its press there
// must leave the selection as it is for the dial to find it.
void DoubleClickBelowTheRows(TPhonebookRig& rig)
{
    rig.Window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.Window));
    QWidget* area = rig.List->viewport();
    QTest::mouseDClick(area, Qt::LeftButton, {}, QPoint(20, area->height() - 5));
}

TEST(PhonebookDialTest, DialCallsTheSelectedContactInItsStyle)
{
    TPhonebookRig rig(
        { "Ann=10.0.0.7,5000,2", "Bob=10.0.0.8,2323,1", "Odd=10.0.0.9,2323,7", "Nil=,2323,2" });
    rig.Select("Bob");
    rig.DialButton->click();
    rig.Select("Ann");
    DoubleClickBelowTheRows(rig);
    // A style without a meaning starts the call in IM with preview.
    rig.Select("Odd");
    rig.Phonebook.DoDial();
    rig.Select("Nil");
    rig.Phonebook.DoDial();
    EXPECT_EQ(rig.Dials,
        (std::vector<TDialed> { { "10.0.0.8", "2323", TChatStyle::Realtime },
            { "10.0.0.7", "5000", TChatStyle::IM }, { "10.0.0.9", "2323", TChatStyle::IMPreview },
            { "", "2323", TChatStyle::IM } }));
    // The listener takes an empty address as no call; nothing else changed.
    EXPECT_EQ(rig.Rows(), (TStrings { "Ann", "Bob", "Nil", "Odd" }));
}

TEST(PhonebookDialTest, ADoubleClickOnAnEmptyListDialsNothing)
{
    TPhonebookRig rig({ "Ann=1" });
    rig.Phonebook.DeleteLabelClick();
    ASSERT_EQ(rig.Rows(), TStrings {});
    DoubleClickBelowTheRows(rig);
    rig.Phonebook.DoDial();
    EXPECT_EQ(rig.Dials, std::vector<TDialed> {});
}

struct TOfferCase {
    const char* Name;
    const char* Address;
    TAnswer Answer;
    TStrings Questions;
    TUsers Added; // after Ann, in file order
};

TEST(PhonebookDialTest, AnUnknownCallerIsOfferedAndYesStoresIt)
{
    const std::vector<TOfferCase> cases = {
        { "Stranger", "10.0.0.5", TAnswer::Yes,
            { "Add this user: \"STRANGER\" with IP address of \"10.0.0.5\" to phonebook?" },
            { { "Stranger", "10.0.0.5", "2323", TChatStyle::Realtime } } },
        { "ann", "10.0.0.5", TAnswer::Yes,
            { "Add this user: \"ANN\" with IP address of \"10.0.0.5\" to phonebook?" },
            { { "ann", "10.0.0.5", "2323", TChatStyle::Realtime } } },
        { "Zo\xC3\xAB", "::1", TAnswer::No,
            { "Add this user: \"ZO\xC3\xAB\" with IP address of \"::1\" to phonebook?" }, {} },
        { "Ann", "10.0.0.99", TAnswer::Yes, {}, {} },
        { "", "10.0.0.5", TAnswer::Yes, {}, {} },
        // A caller picks its own name: none that the file would give back as another contact.
        { "Eve=evil.example,9,1", "10.0.0.5", TAnswer::Yes, {}, {} },
    };
    for (const TOfferCase& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " at " + c.Address);
        TPhonebookRig rig({ "Ann=10.0.0.7", "Bob=10.0.0.8" });
        rig.Select("Bob");
        rig.Phonebook.SavedItemIndex = 0;
        rig.Prompts.Answer = c.Answer;
        rig.Phonebook.OfferAddUser(c.Name, c.Address, TChatStyle::Realtime);
        EXPECT_EQ(rig.Prompts.Questions, c.Questions);
        TUsers expected { { "Ann", "10.0.0.7", "2323", TChatStyle::IMPreview },
            { "Bob", "10.0.0.8", "2323", TChatStyle::IMPreview } };
        if (!c.Added.empty()) {
            expected.insert(expected.end(), c.Added.begin(), c.Added.end());
            EXPECT_EQ(rig.Stored(), expected);
            EXPECT_EQ(rig.Phonebook.SavedItemIndex, 0);
            EXPECT_EQ(rig.Selected(), "Ann");
        } else {
            EXPECT_EQ(rig.ReadFile(), "[Users Section]\nAnn=10.0.0.7\nBob=10.0.0.8\n");
        }
    }
}

TEST(PhonebookDialTest, AnOfferOfANameAlreadyInQuestionIsNotAskedAgain)
{
    // Both ends of a call to this very copy end at once and offer the same name; the second
    // offer comes while the first question is open. Another name is asked about as usual.
    for (const char* second : { "Kim", "Lee" }) {
        SCOPED_TRACE(second);
        TPhonebookRig rig;
        rig.Prompts.WhileAsking = [&rig, second] {
            rig.Phonebook.OfferAddUser(second, "127.0.0.1", TChatStyle::IMPreview);
        };
        rig.Phonebook.OfferAddUser("Kim", "127.0.0.1", TChatStyle::IMPreview);
        EXPECT_EQ(rig.Prompts.Questions.size(), std::string(second) == "Kim" ? 1U : 2U);
        EXPECT_EQ(rig.Rows(),
            std::string(second) == "Kim" ? (TStrings { "Jane Doe", "Kim" })
                                         : (TStrings { "Jane Doe", "Kim", "Lee" }));
    }
}

} // namespace
} // namespace quillet
