// A Connect that cannot complete: a name service that does not answer, an address where nothing
// answers (a listener whose queue is full drops every further call unanswered), and the Close
// from the other thread or the time limit that end it. Nothing here asserts on time: each case
// waits for the attempt's end with a generous bound and then checks what it left.
#include "SocketTestSupport.h"
#include "net/CallFailure.h"
#include "net/SocketErrors.h"
#include "support/StalledNameService.h"
#include "support/UnansweredPort.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <future>

namespace quillet {
namespace {

using namespace sockettest;
using namespace std::chrono_literals;
using R = THookSocketReason;
using testing::TStalledNameService;
using testing::TUnansweredPort;

// Runs socket.Connect on a thread of its own; true once it has returned within the bound.
class TConnectOnThread {
public:
    TConnectOnThread(TTCPBlockSocket& socket, std::string address, std::string port)
        : Done(std::async(
            std::launch::async, [&socket, address = std::move(address), port = std::move(port)] {
                socket.Connect(address, port);
                return socket.ErrorCode();
            }))
    {
    }
    bool Returned() { return Done.wait_for(10s) == std::future_status::ready; }
    int Code() { return Done.get(); }

private:
    std::future<int> Done;
};

// Waits (with a bound) until the socket has a handle: the attempt is past its lookup.
bool WaitForHandle(const TTCPBlockSocket& socket)
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (socket.Handle() == -1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    return socket.Handle() != -1;
}

// The time limit holds for the whole attempt, the lookup of a name included. A handle made for
// the attempt is left blocking, as it was set: the conversation's sends rely on it.
TEST(ConnectAttempt, TheTimeLimitEndsALookupOrAWaitThatGetsNoAnswer)
{
    TUnansweredPort unanswered;
    ASSERT_TRUE(unanswered.Ready);
    TStalledNameService names;
    for (const bool byName : { true, false }) {
        TTCPBlockSocket socket;
        if (byName)
            socket.SetHostLookup(names.Function());
        socket.SetNonBlockingMode(false);
        socket.SetConnectTimeout(150);
        TStatusLog log;
        log.Attach(socket);
        socket.Connect(byName ? "quillet.test" : "127.0.0.1", unanswered.Port);
        EXPECT_EQ(socket.ErrorCode(), sockerr::TimedOut);
        EXPECT_EQ(
            log.Values(R::HR_Error), std::vector<std::string> { "10060,Connection timed out" });
        if (byName)
            EXPECT_EQ(socket.Handle(), -1) << "no socket for a name that was never found";
        else
            EXPECT_EQ(::fcntl(socket.Handle(), F_GETFL) & O_NONBLOCK, 0);
    }
}

TEST(ConnectAttempt, CloseEndsTheWaitForAnAddressThatNeverAnswers)
{
    TUnansweredPort unanswered;
    ASSERT_TRUE(unanswered.Ready);
    TTCPBlockSocket socket;
    TConnectOnThread attempt(socket, "127.0.0.1", unanswered.Port);
    ASSERT_TRUE(WaitForHandle(socket));
    socket.Close();
    ASSERT_TRUE(attempt.Returned()) << "the system's own time-out is minutes";
    EXPECT_EQ(attempt.Code(), sockerr::NotSocket);
    EXPECT_EQ(socket.Handle(), -1);
}

// The conversation takes up a Disconnect made before its attempt began from the first report of
// the attempt: a Close there must hold although no handle exists yet to close.
TEST(ConnectAttempt, ACloseFromTheFirstReportCallsTheAttemptOff)
{
    TLoopbackListener target;
    ASSERT_TRUE(target.Listening());
    TTCPBlockSocket socket;
    socket.OnStatus = [&](TBlockSocket& sender, R reason, const std::string&) {
        if (reason == R::HR_ResolvingBegin)
            sender.Close();
    };
    socket.Connect("127.0.0.1", target.Port);
    EXPECT_EQ(socket.ErrorCode(), sockerr::NotSocket);
    EXPECT_EQ(socket.Handle(), -1);
    EXPECT_FALSE(target.Socket.WaitReadable(300)) << "the called-off attempt still connected";

    // A later attempt on the same object is not called off.
    socket.OnStatus = nullptr;
    socket.Connect("127.0.0.1", target.Port);
    EXPECT_EQ(socket.ErrorCode(), 0);
}

// The line a failed call adds after "Disconnected", by the error its attempt ended with.
TEST(CallFailureReason, SaysWhyInPlainWords)
{
    struct TRow {
        std::int32_t Code;
        const char* Address;
        const char* Port;
        std::int32_t TimeoutMs;
        std::string Expected;
    };
    const TRow rows[] = {
        { 0, "10.0.0.7", "2323", 20000, "" },
        { sockerr::NotSocket, "10.0.0.7", "2323", 20000, "" }, // the user called it off
        { 10061, "10.0.0.7", "5000", 20000,
            "The other computer refused the call: nothing answers on port 5000." },
        { 11001, "bob.example", "2323", 20000,
            "The host name \"bob.example\" could not be found." },
        { 11002, "bob.example", "2323", 20000,
            "The host name \"bob.example\" could not be found: the name service did not "
            "answer." },
        // The resolver fails for a port it cannot read as well: that is what is wrong then.
        { 11001, "10.0.0.7", "99999x", 20000,
            "\"99999x\" is not a port number (a whole number from 1 to 65535)." },
        { 10060, "10.255.255.1", "2323", 20000, "No answer from 10.255.255.1 within 20 seconds." },
        { 10060, "10.255.255.1", "2323", 1000, "No answer from 10.255.255.1 within 1 second." },
        { 10060, "10.255.255.1", "2323", 300, "No answer from 10.255.255.1 within 0.3 seconds." },
        { 10060, "10.255.255.1", "2323", 0, "No answer from 10.255.255.1." },
        { 10051, "10.0.0.7", "2323", 20000, "The network cannot reach 10.0.0.7." },
        { 10013, "10.0.0.7", "2323", 20000, "The call failed: Permission denied." },
    };
    for (const TRow& row : rows) {
        EXPECT_EQ(CallFailureReason(row.Code, row.Address, row.Port, row.TimeoutMs), row.Expected)
            << row.Code << " " << row.Address << ":" << row.Port;
    }
}

} // namespace
} // namespace quillet
