// Calls between the phonebook and the real listener: a contact dialed from the list reaches a
// raw TCP peer, and a raw caller is offered for the phonebook when its conversation ends.
#include "support/PhonebookRig.h"

#include "platform/qt/QtMainThreadDispatcher.h"
#include "support/ProgramCopy.h"
#include "support/RawPeer.h"

#include <QTest>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillet {
namespace {

using namespace std::chrono_literals;
using testing::TPhonebookRig;
using testing::TProgramCopy;
using testing::TRawPeer;
using TUsers = std::vector<TUserRecordType>;

// A plain listening socket on an ephemeral loopback port that takes one call.
class TRawCallee {
public:
    TRawCallee()
    {
        Listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(Listener, reinterpret_cast<sockaddr*>(&address), length) == 0
            && ::listen(Listener, 1) == 0
            && ::getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            Port = ntohs(address.sin_port);
    }
    ~TRawCallee()
    {
        if (Connection >= 0)
            ::close(Connection);
        ::close(Listener);
    }

    // Takes the call if one is waiting; then reads what has arrived without waiting.
    bool Poll()
    {
        if (Connection < 0)
            Connection = ::accept4(Listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (Connection < 0)
            return false;
        char buffer[256];
        for (ssize_t n; (n = ::recv(Connection, buffer, sizeof buffer, 0)) > 0;)
            Received.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    int Port = 0;
    std::string Received;

private:
    int Listener = -1;
    int Connection = -1;
};

class PhonebookCallTest : public ::testing::Test {
protected:
    TQtMainThreadDispatcher Dispatcher;
};

TEST_F(PhonebookCallTest, AContactDialedFromTheListGetsTheGreetingAndItsStartStyle)
{
    TRawCallee callee;
    ASSERT_NE(callee.Port, 0);
    TProgramCopy alice(Dispatcher, "Alice");
    TPhonebookRig rig({ "Raw=127.0.0.1," + std::to_string(callee.Port) + ",2", "Zed=10.0.0.1" });
    rig.Phonebook.SetDial(
        [&alice](const std::string& address, const std::string& port, TChatStyle style) {
            alice.Server->RequestCall(address, port, style);
        });
    rig.Select("Raw");
    rig.DialButton->click();
    // The caller's name and line end, then the signal of IM (249 + 2).
    const std::string expected = "Alice\r\n\xFB";
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return callee.Poll() && callee.Received.size() >= expected.size(); }, 10000));
    EXPECT_EQ(callee.Received, expected);
}

TEST_F(PhonebookCallTest, AnUnknownCallerIsOfferedWithTheAddressSeenAndTheLastStyle)
{
    TProgramCopy bob(Dispatcher, "Bob");
    TPhonebookRig rig({ "Known=10.0.0.1" });
    bob.OfferHook = [&rig](const std::string& name, const std::string& address, TChatStyle style) {
        rig.Phonebook.OfferAddUser(name, address, style);
    };
    {
        TRawPeer caller;
        ASSERT_TRUE(caller.Connect(bob.Port()));
        ASSERT_TRUE(caller.Send("Stranger\r"));
        std::string answer;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                answer += caller.Receive(5, 0ms);
                return answer.size() >= 5;
            },
            10000));
        EXPECT_EQ(answer, "Bob\r\n");
        // The caller moves the conversation to IM; the callee answers with the same signal.
        ASSERT_TRUE(caller.Send("\xFB"));
        std::string echo;
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !(echo += caller.Receive(1, 0ms)).empty(); }, 10000));
        EXPECT_EQ(echo, "\xFB");
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bob.Offers.empty(); }, 10000));
    EXPECT_EQ(rig.Prompts.BackgroundQuestions,
        std::vector<std::string> {
            "Add this user: \"STRANGER\" with IP address of \"127.0.0.1\" to phonebook?" });
    ASSERT_TRUE(rig.Prompts.AnswerBackground(IPromptService::TAnswer::Yes));
    const TUsers expected { { "Known", "10.0.0.1", "2323", TChatStyle::IMPreview },
        { "Stranger", "127.0.0.1", "2323", TChatStyle::IM } };
    EXPECT_EQ(rig.Stored(), expected);
    EXPECT_EQ(rig.Users(), expected);
}

// Callers that greet and hang up: each conversation gets its offer, except one of the same name
// and address as an offer already waiting; while one question is open the others wait.
TEST_F(PhonebookCallTest, EveryConversationGetsItsOfferOneQuestionAtATime)
{
    TProgramCopy bob(Dispatcher, "Bob");
    TPhonebookRig rig;
    bob.OfferHook = [&rig](const std::string& name, const std::string& address, TChatStyle style) {
        rig.Phonebook.OfferAddUser(name, address, style);
    };
    // Two peers announcing "Twin" from two addresses, and a second call from the first one.
    const char* const from[] = { "127.0.0.2", "127.0.0.3", "127.0.0.2" };
    std::vector<TRawPeer> callers(3);
    for (std::size_t i = 0; i < callers.size(); ++i) {
        ASSERT_TRUE(callers[i].Connect(bob.Port(), from[i]));
        ASSERT_TRUE(callers[i].Send("Twin\r"));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return bob.Views.Greeted() == callers.size(); }, 10000));
    callers.clear(); // all hang up together
    ASSERT_TRUE(QTest::qWaitFor([&] { return bob.Offers.size() == 3; }, 10000));
    // The conversations end in any order: one question is open, the other waits.
    EXPECT_EQ(rig.Prompts.BackgroundQuestions.size(), 1U);
    EXPECT_EQ(rig.Phonebook.WaitingOffers(), 1U);
    ASSERT_TRUE(rig.Prompts.AnswerBackground(IPromptService::TAnswer::No));
    ASSERT_TRUE(rig.Prompts.AnswerBackground(IPromptService::TAnswer::Yes));
    EXPECT_FALSE(rig.Prompts.AnswerBackground(IPromptService::TAnswer::Yes));
    std::vector<std::string> asked = rig.Prompts.BackgroundQuestions;
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked,
        (std::vector<std::string> {
            "Add this user: \"TWIN\" with IP address of \"127.0.0.2\" to phonebook?",
            "Add this user: \"TWIN\" with IP address of \"127.0.0.3\" to phonebook?" }));
    EXPECT_NE(rig.Phonebook.Phonebook().FindUser("Twin"), nullptr);
    EXPECT_EQ(rig.Users(), rig.StoredSorted());
}

} // namespace
} // namespace quillet
