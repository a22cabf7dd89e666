// Dialing from the list and the offer to add a caller after a conversation.
#include "support/PhonebookRig.h"

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
    TUsers Added; // after Ann and Bob, in file order
    TPhonebookRig::TEditorStep Editor = {}; // what the user does if the editor opens
    TStrings Messages = {};
};

TEST(PhonebookDialTest, AnUnknownCallerIsOfferedAndYesStoresIt)
{
    const auto renamed = [](const char* name) {
        return TPhonebookRig::Ok([name](TEditRecord& e) {
            // The editor shows the caller as announced, on the name field.
            EXPECT_EQ(e.IPAddrEdit->text(), "10.0.0.5");
            EXPECT_EQ(e.PortEdit->text(), "2323");
            EXPECT_EQ(e.FocusField, TContactField::Name);
            e.UserNameEdit->setText(name);
        });
    };
    const std::vector<TOfferCase> cases = {
        { "Stranger", "10.0.0.5", TAnswer::Yes,
            { "Add this user: \"STRANGER\" with IP address of \"10.0.0.5\" to phonebook?" },
            { { "Stranger", "10.0.0.5", "2323", TChatStyle::Realtime } } },
        // Trimmed as the file reads it back.
        { "  Kim \t", "10.0.0.5", TAnswer::Yes,
            { "Add this user: \"KIM\" with IP address of \"10.0.0.5\" to phonebook?" },
            { { "Kim", "10.0.0.5", "2323", TChatStyle::Realtime } } },
        { "Zo\xC3\xAB", "::1", TAnswer::No,
            { "Add this user: \"ZO\xC3\xAB\" with IP address of \"::1\" to phonebook?" }, {} },
        // Asked and stored as shown: what shows nothing is no part of a name.
        { "Kim\xE2\x80\x8B"
          "Lee\xC2\xAD",
            "10.0.0.5", TAnswer::Yes,
            { "Add this user: \"KIMLEE\" with IP address of \"10.0.0.5\" to phonebook?" },
            { { "KimLee", "10.0.0.5", "2323", TChatStyle::Realtime } } },
        { "Ann", "10.0.0.99", TAnswer::Yes, {}, {} },
        { "  Bob  ", "10.0.0.99", TAnswer::Yes, {}, {} },
        { "A\xE2\x80\x8Dnn", "10.0.0.99", TAnswer::Yes, {}, {} },
        { "", "10.0.0.5", TAnswer::Yes, {}, {} },
        // A name the file cannot hold as announced: Yes opens the editor, which says why.
        { " [AFK] Lee", "10.0.0.5", TAnswer::Yes,
            { "Add this user: \"[AFK] LEE\" with IP address of \"10.0.0.5\" to phonebook?" },
            { { "AFK Lee", "10.0.0.5", "2323", TChatStyle::Realtime } }, renamed("AFK Lee"),
            { "Name can not start with \";\" or \"[\"" } },
    };
    for (const TOfferCase& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " at " + c.Address);
        TPhonebookRig rig({ "Ann=10.0.0.7", "Bob=10.0.0.8" });
        rig.Select("Bob");
        rig.Phonebook.SavedItemIndex = 0;
        if (c.Editor)
            rig.EditorSteps.push_back(c.Editor);
        rig.Phonebook.OfferAddUser(c.Name, c.Address, TChatStyle::Realtime);
        // The question comes in the background; nothing is stored before it is answered.
        EXPECT_EQ(rig.Prompts.BackgroundQuestions, c.Questions);
        EXPECT_EQ(rig.Prompts.Questions, TStrings {});
        EXPECT_EQ(rig.Prompts.AnswerBackground(c.Answer), !c.Questions.empty());
        EXPECT_EQ(rig.Prompts.Messages, c.Messages);
        TUsers expected { { "Ann", "10.0.0.7", "2323", TChatStyle::IMPreview },
            { "Bob", "10.0.0.8", "2323", TChatStyle::IMPreview } };
        if (!c.Added.empty()) {
            expected.insert(expected.end(), c.Added.begin(), c.Added.end());
            EXPECT_EQ(rig.Stored(), expected);
            EXPECT_EQ(rig.Phonebook.SavedItemIndex, c.Editor ? 1 : 0);
        } else {
            EXPECT_EQ(rig.ReadFile(), "[Users Section]\nAnn=10.0.0.7\nBob=10.0.0.8\n");
        }
        EXPECT_EQ(rig.Users(), rig.StoredSorted());
    }
}

TEST(PhonebookDialTest, OffersWaitInOneQueueAndAreAskedOneAtATime)
{
    TPhonebookRig rig({ "Ann=10.0.0.7" });
    // Both ends of a call to this very copy offer the same name and address: one question.
    // Two peers that announce the same name from two addresses: a question each.
    rig.Phonebook.OfferAddUser("Kim", "127.0.0.1", TChatStyle::IMPreview);
    rig.Phonebook.OfferAddUser("Kim", "127.0.0.1", TChatStyle::IMPreview);
    rig.Phonebook.OfferAddUser("Twin", "10.0.0.2", TChatStyle::IM);
    rig.Phonebook.OfferAddUser("Twin", "10.0.0.3", TChatStyle::IM);
    rig.Phonebook.OfferAddUser("Twin", "10.0.0.2", TChatStyle::IM);
    // One question open at a time; the others wait.
    EXPECT_EQ(rig.Prompts.BackgroundQuestions.size(), 1U);
    EXPECT_EQ(rig.Phonebook.WaitingOffers(), 2U);
    ASSERT_TRUE(rig.Prompts.AnswerBackground(TAnswer::No));
    ASSERT_TRUE(rig.Prompts.AnswerBackground(TAnswer::Yes));
    // The second Twin: its name is taken now, so Yes opens the editor, which says so.
    rig.EditorSteps.push_back(
        TPhonebookRig::Ok([](TEditRecord& e) { e.UserNameEdit->setText("Twin 2"); }));
    ASSERT_TRUE(rig.Prompts.AnswerBackground(TAnswer::Yes));
    EXPECT_FALSE(rig.Prompts.AnswerBackground(TAnswer::Yes));
    EXPECT_EQ(rig.Prompts.BackgroundQuestions,
        (TStrings { "Add this user: \"KIM\" with IP address of \"127.0.0.1\" to phonebook?",
            "Add this user: \"TWIN\" with IP address of \"10.0.0.2\" to phonebook?",
            "Add this user: \"TWIN\" with IP address of \"10.0.0.3\" to phonebook?" }));
    EXPECT_EQ(rig.Prompts.Messages, TStrings { "Name already exists. Can not add" });
    EXPECT_EQ(rig.Rows(), (TStrings { "Ann", "Twin", "Twin 2" }));

    // A crowd: the waiting line is capped, and nothing is asked inside an answer.
    for (int i = 0; i < 100; ++i)
        rig.Phonebook.OfferAddUser("Caller " + std::to_string(i), "10.1.0.1", TChatStyle::IM);
    EXPECT_EQ(rig.Phonebook.WaitingOffers(), TMainFormPhonebook::MaxWaitingOffers);
    std::size_t asked = 0;
    while (rig.Prompts.AnswerBackground(TAnswer::No))
        ++asked;
    EXPECT_EQ(asked, TMainFormPhonebook::MaxWaitingOffers + 1);
    EXPECT_FALSE(rig.Phonebook.AskingOffer());
}

} // namespace
} // namespace quillet
