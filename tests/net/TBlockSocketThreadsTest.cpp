// One socket object used by two threads at once, as a conversation uses it: one thread waits and
// receives while the other sends and closes.
#include "SocketTestSupport.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <thread>

namespace quillet {
namespace {

using namespace sockettest;
using namespace std::chrono_literals;

struct TWaitOutcome {
    bool Result = true;
    int Code = 0;
    bool EndedByClose = false;
};

// Runs a wait far longer than the test on another thread and closes the socket from this one
// once the wait has had time to enter poll. A wait that ends at all was ended by the close.
// (Entering poll cannot be observed, hence the pause; if the close came first the wait fails at
// once, which the assertions accept too.)
TWaitOutcome CloseDuringWait(TBlockSocket& socket)
{
    constexpr int WaitMs = 120000;
    std::promise<void> started;
    auto outcome = std::async(std::launch::async, [&] {
        TWaitOutcome o;
        started.set_value();
        o.Result = socket.WaitReadable(WaitMs);
        o.Code = socket.ErrorCode();
        return o;
    });
    started.get_future().wait();
    std::this_thread::sleep_for(100ms);
    socket.Close();
    const bool ended = outcome.wait_for(30s) == std::future_status::ready;
    TWaitOutcome o = outcome.get();
    o.EndedByClose = ended;
    return o;
}

TEST(TBlockSocketThreads, CloseEndsPendingWaitOnConnection)
{
    TConnectedPair pair;
    const TWaitOutcome o = CloseDuringWait(pair.Server);
    EXPECT_TRUE(o.EndedByClose) << "the close must wake the wait, not its timeout";
    EXPECT_FALSE(o.Result);
    EXPECT_NE(o.Code, 0);
    EXPECT_EQ(pair.Server.Handle(), -1);
}

TEST(TBlockSocketThreads, CloseEndsPendingWaitOnListener)
{
    TLoopbackListener listener;
    ASSERT_TRUE(listener.Listening());
    const TWaitOutcome o = CloseDuringWait(listener.Socket);
    EXPECT_TRUE(o.EndedByClose);
    EXPECT_FALSE(o.Result);
    EXPECT_NE(o.Code, 0);
}

// Raw connections to `port`, accepted by `listener`; returns both ends of each.
std::vector<std::pair<int, int>> OpenRawConnections(TTCPBlockSocket& listener, int port, int count)
{
    std::vector<std::pair<int, int>> ends;
    for (int i = 0; i < count; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        EXPECT_TRUE(listener.WaitReadable(2000));
        ends.emplace_back(fd, listener.Accept());
    }
    return ends;
}

void CloseAll(const std::vector<std::pair<int, int>>& ends)
{
    for (const auto& [a, b] : ends) {
        ::close(a);
        ::close(b);
    }
}

TEST(TBlockSocketThreads, ClosedObjectNeverReadsALaterConnection)
{
    TConnectedPair pair;
    const int oldHandle = pair.Server.Handle();
    const TWaitOutcome o = CloseDuringWait(pair.Server);
    EXPECT_FALSE(o.Result);

    // The system hands out the lowest free descriptor number, so the closed one is reused.
    const auto ends = OpenRawConnections(pair.Listener.Socket, pair.Listener.Socket.LocalPort(), 8);
    bool reused = false;
    for (const auto& [clientFd, serverFd] : ends) {
        reused = reused || clientFd == oldHandle || serverFd == oldHandle;
        EXPECT_EQ(::send(clientFd, "later", 5, MSG_NOSIGNAL), 5);
        EXPECT_EQ(::send(serverFd, "later", 5, MSG_NOSIGNAL), 5);
    }
    EXPECT_TRUE(reused) << "the test needs the old number to be taken again";

    EXPECT_FALSE(pair.Server.WaitReadable(50));
    EXPECT_NE(pair.Server.ErrorCode(), 0);
    EXPECT_EQ(pair.Server.PendingBytes(), 0);
    EXPECT_EQ(pair.Server.ReceiveChunk(50), "");
    EXPECT_NE(pair.Server.ErrorCode(), 0);
    EXPECT_EQ(pair.Server.BytesReceived(), 0);
    CloseAll(ends);
}

// The descriptor stays open while an operation of another thread still runs on it, so its
// number cannot go to a new connection then; it is released when that operation ends.
TEST(TBlockSocketThreads, DescriptorOutlivesCloseWhileInUse)
{
    TConnectedPair pair;
    const int oldHandle = pair.Client.Handle();
    pair.Client.SetSendMaxChunk(4);

    std::mutex lock;
    std::condition_variable changed;
    bool inside = false;
    bool resume = false;
    // Written by the worker before its send; read by reports on this thread only after the
    // worker has signalled from inside the send.
    std::thread::id workerId;
    std::vector<THookSocketReason> senderReports;
    pair.Client.OnStatus = [&](TBlockSocket&, THookSocketReason reason, const std::string&) {
        if (std::this_thread::get_id() != workerId)
            return;
        senderReports.push_back(reason);
        if (reason != THookSocketReason::HR_WriteCount || senderReports.size() != 1)
            return;
        std::unique_lock guard(lock);
        inside = true;
        changed.notify_all();
        changed.wait(guard, [&] { return resume; });
    };
    std::int32_t sent = -1;
    int sendCode = 0;
    std::thread worker([&] {
        workerId = std::this_thread::get_id();
        sent = pair.Client.SendBytes("12345678", 8);
        sendCode = pair.Client.ErrorCode();
    });
    {
        std::unique_lock guard(lock);
        changed.wait(guard, [&] { return inside; });
    }
    // The worker is inside SendBytes, between its two pieces.
    pair.Client.Close();
    EXPECT_EQ(pair.Client.Handle(), -1);
    auto during = OpenRawConnections(pair.Listener.Socket, pair.Listener.Socket.LocalPort(), 1);
    EXPECT_NE(during[0].first, oldHandle);
    EXPECT_NE(during[0].second, oldHandle);
    {
        const std::lock_guard guard(lock);
        resume = true;
    }
    changed.notify_all();
    worker.join();

    EXPECT_EQ(sent, 4) << "the second piece meets the closed connection";
    EXPECT_NE(sendCode, 0);
    ASSERT_GE(senderReports.size(), 2u);
    EXPECT_EQ(senderReports[1], THookSocketReason::HR_Error);
    auto after = OpenRawConnections(pair.Listener.Socket, pair.Listener.Socket.LocalPort(), 1);
    EXPECT_TRUE(after[0].first == oldHandle || after[0].second == oldHandle)
        << "released once the send has ended";
    CloseAll(during);
    CloseAll(after);
    pair.Client.OnStatus = nullptr; // the hook's state goes before the socket
}

TEST(TBlockSocketThreads, SendsFromTwoThreadsDoNotInterleave)
{
    TConnectedPair pair;
    // Small pieces give the other thread many chances to slip in between two of them.
    pair.Client.SetSendMaxChunk(1000);
    constexpr std::size_t BlockSize = 100000;
    constexpr int BlocksPerThread = 8;
    const std::string blockA(BlockSize, 'A');
    const std::string blockB(BlockSize, 'B');

    std::string received;
    std::thread reader(
        [&] { received = ReceiveAll(pair.Server, 2 * BlocksPerThread * BlockSize); });
    auto send = [&](const std::string& block) {
        for (int i = 0; i < BlocksPerThread; ++i)
            pair.Client.SendText(block);
    };
    std::thread a(send, std::cref(blockA));
    std::thread b(send, std::cref(blockB));
    a.join();
    b.join();
    reader.join();

    ASSERT_EQ(received.size(), 2 * BlocksPerThread * BlockSize);
    int blocksA = 0;
    for (std::size_t at = 0; at < received.size(); at += BlockSize) {
        const std::string_view block(received.data() + at, BlockSize);
        ASSERT_EQ(block.find_first_not_of(block.front()), std::string_view::npos)
            << "bytes of two sends are mixed in the block at " << at;
        blocksA += block.front() == 'A' ? 1 : 0;
    }
    EXPECT_EQ(blocksA, BlocksPerThread);
}

TEST(TBlockSocketThreads, EachThreadReadsTheCodeOfItsOwnOperation)
{
    TConnectedPair pair;
    std::promise<void> failed;
    std::promise<void> succeeded;
    std::thread other([&] {
        pair.Server.ReceiveChunk(30); // nothing arrives: 10060
        failed.set_value();
        succeeded.get_future().wait();
        EXPECT_EQ(pair.Server.ErrorCode(), 10060);
    });
    failed.get_future().wait();
    pair.Server.SendText("x");
    EXPECT_EQ(pair.Server.ErrorCode(), 0);
    succeeded.set_value();
    other.join();
    EXPECT_EQ(pair.Server.ErrorCode(), 0);
}

TEST(TBlockSocketThreads, SendWhileOtherThreadReceives)
{
    TConnectedPair pair;
    std::atomic<bool> stop { false };
    std::string fromClient;
    std::thread receiver([&] {
        while (!stop.load()) {
            if (pair.Server.WaitReadable(300))
                fromClient += pair.Server.ReceiveChunk(300);
            if (pair.Server.ErrorCode() == 10054)
                break;
        }
    });
    // The server sends on this thread while its receive loop runs on the other.
    for (int i = 0; i < 20; ++i)
        pair.Server.SendByte(static_cast<std::uint8_t>('a' + i));
    EXPECT_EQ(ReceiveAll(pair.Client, 20), "abcdefghijklmnopqrst");
    pair.Client.SendText("pong");
    pair.Client.Close();
    receiver.join();
    stop.store(true);
    EXPECT_EQ(fromClient, "pong");
}

} // namespace
} // namespace quillet
