#include "SocketTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <thread>

namespace quillet {
namespace {

using namespace sockettest;
using R = THookSocketReason;

int NoDelay(int fd)
{
    int value = -1;
    socklen_t length = sizeof(value);
    ::getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &value, &length);
    return value;
}

linger Linger(int fd)
{
    linger value { -1, -1 };
    socklen_t length = sizeof(value);
    ::getsockopt(fd, SOL_SOCKET, SO_LINGER, &value, &length);
    return value;
}

// --- connecting, resolving, accepting ---

TEST(TBlockSocketConnect, RefusedConnectReportsInOrder)
{
    const std::string port = RefusedPort();
    TTCPBlockSocket socket;
    TStatusLog log;
    log.Attach(socket);
    socket.Connect("127.0.0.1", port);

    const std::string where = "127.0.0.1:" + port;
    const std::vector<TReport> expected = {
        { R::HR_ResolvingBegin, where },
        { R::HR_ResolvingEnd, where },
        { R::HR_SocketCreate, "IPv4" },
        { R::HR_Error, "10061,Connection refused" },
        { R::HR_Connect, where },
    };
    EXPECT_EQ(log.Take(), expected);
    EXPECT_EQ(socket.ErrorCode(), 10061);
    EXPECT_EQ(socket.ErrorText(), "Connection refused");
}

TEST(TBlockSocketConnect, ResolveFailureCreatesNoSocket)
{
    TTCPBlockSocket socket;
    TStatusLog log;
    log.Attach(socket);
    socket.Connect("127.0.0.1", "no-such-service-here");

    const std::string where = "127.0.0.1:no-such-service-here";
    const std::vector<TReport> expected = {
        { R::HR_ResolvingBegin, where },
        { R::HR_ResolvingEnd, where },
        { R::HR_Error, "11001,Host not found" },
        { R::HR_Connect, where },
    };
    EXPECT_EQ(log.Take(), expected);
    EXPECT_EQ(socket.Handle(), -1);
}

TEST(TBlockSocketConnect, HostNameResolvesIPv4First)
{
    TLoopbackListener listener;
    ASSERT_TRUE(listener.Listening());
    TTCPBlockSocket socket;
    TStatusLog log;
    log.Attach(socket);
    socket.Connect("localhost", listener.Port);

    ASSERT_EQ(socket.ErrorCode(), 0);
    EXPECT_EQ(log.Values(R::HR_SocketCreate), std::vector<std::string> { "IPv4" });
    EXPECT_TRUE(log.Values(R::HR_Error).empty());
    EXPECT_FALSE(socket.UsesIPv6());
    EXPECT_EQ(socket.PeerAddressText(), "127.0.0.1");
    EXPECT_EQ(std::to_string(socket.PeerPort()), listener.Port);
    EXPECT_EQ(NoDelay(socket.Handle()), 1);
}

TEST(TBlockSocketConnect, IPv6LoopbackWhenAvailable)
{
    TLoopbackListener listener("::1");
    if (!listener.Listening())
        GTEST_SKIP() << "no IPv6 loopback on this machine";
    TTCPBlockSocket client;
    TStatusLog log;
    log.Attach(client);
    client.Connect("::1", listener.Port);
    ASSERT_EQ(client.ErrorCode(), 0);
    EXPECT_EQ(log.Values(R::HR_SocketCreate), std::vector<std::string> { "IPv6" });
    EXPECT_TRUE(client.UsesIPv6());
    EXPECT_EQ(client.PeerAddressText(), "::1");

    ASSERT_TRUE(listener.Socket.WaitReadable(2000));
    TTCPBlockSocket server;
    EXPECT_TRUE(server.AdoptHandle(listener.Socket.Accept()));
    EXPECT_EQ(server.PeerAddressText(), "::1");
}

TEST(TBlockSocketConnect, AcceptAndAdoptTakeOverTheConnection)
{
    TLoopbackListener listener;
    ASSERT_TRUE(listener.Listening());
    TTCPBlockSocket client;
    client.Connect("127.0.0.1", listener.Port);
    ASSERT_EQ(client.ErrorCode(), 0);

    TStatusLog listenerLog;
    listenerLog.Attach(listener.Socket);
    ASSERT_TRUE(listener.Socket.WaitReadable(2000));
    const int handle = listener.Socket.Accept();
    ASSERT_GE(handle, 0);
    EXPECT_EQ(listener.Socket.ErrorCode(), 0);
    const std::vector<TReport> expected = { { R::HR_CanRead, "" }, { R::HR_Accept, "" } };
    EXPECT_EQ(listenerLog.Take(), expected);
    EXPECT_EQ(listener.Socket.RemoteEndpoint().Port(), client.LocalPort());

    TTCPBlockSocket server;
    TStatusLog serverLog;
    serverLog.Attach(server);
    EXPECT_FALSE(server.AdoptHandle(handle));
    EXPECT_TRUE(serverLog.Take().empty()) << "adopting reports nothing";
    EXPECT_EQ(server.Handle(), handle);
    EXPECT_EQ(server.PeerAddressText(), "127.0.0.1");
    EXPECT_EQ(server.PeerPort(), client.LocalPort());
    EXPECT_EQ(server.LocalPort(), client.PeerPort());
    EXPECT_EQ(NoDelay(handle), 1);
}

TEST(TBlockSocketConnect, NonBlockingPendingOptionMakesConnectReturnInProgress)
{
    TLoopbackListener listener;
    ASSERT_TRUE(listener.Listening());
    TTCPBlockSocket socket;
    TStatusLog log;
    log.Attach(socket);
    socket.SetNonBlockingMode(true);
    socket.Connect("127.0.0.1", listener.Port);

    const int code = socket.ErrorCode();
    EXPECT_TRUE(code == 0 || code == 10036) << code;
    EXPECT_TRUE(log.Values(R::HR_Error).empty()) << "10036 is no error";
    EXPECT_EQ(log.Values(R::HR_Connect).size(), 1u);
    EXPECT_NE(::fcntl(socket.Handle(), F_GETFL) & O_NONBLOCK, 0);
    EXPECT_TRUE(socket.WaitWritable(2000));
}

// --- receiving ---

TEST(TBlockSocketReceive, PeerSendsThenClosesInOrder)
{
    TConnectedPair pair;
    pair.Client.SendText("abc");
    pair.Client.Close();

    TStatusLog log;
    log.Attach(pair.Server);
    std::string received;
    std::string chunk;
    int code = 0;
    for (int pass = 0; pass < 10; ++pass) {
        chunk = pair.Server.ReceiveChunk(1000);
        code = pair.Server.ErrorCode();
        if (code != 0)
            break;
        EXPECT_FALSE(chunk.empty());
        received += chunk;
    }
    EXPECT_EQ(received, "abc");
    EXPECT_EQ(chunk, "");
    EXPECT_EQ(code, 10054);
    EXPECT_EQ(
        log.Values(R::HR_Error), std::vector<std::string> { "10054,Connection reset by peer" });
    EXPECT_EQ(pair.Server.BytesReceived(), 3);
}

TEST(TBlockSocketReceive, NothingWithinTimeoutGives10060)
{
    TConnectedPair pair;
    TStatusLog log;
    log.Attach(pair.Server);
    const auto start = std::chrono::steady_clock::now();
    const std::string chunk = pair.Server.ReceiveChunk(300);
    const auto elapsed = MsSince(start);
    EXPECT_EQ(chunk, "");
    EXPECT_EQ(pair.Server.ErrorCode(), 10060);
    EXPECT_GE(elapsed, 250);
    EXPECT_EQ(log.Values(R::HR_Error), std::vector<std::string> { "10060,Connection timed out" });
}

TEST(TBlockSocketReceive, OneReceiveTakesAtMost65536Bytes)
{
    TConnectedPair pair;
    const std::string block(100000, 'x');
    pair.Client.SendText(block);
    ASSERT_EQ(pair.Client.ErrorCode(), 0);
    const auto start = std::chrono::steady_clock::now();
    while (pair.Server.PendingBytes() < 65536 && MsSince(start) < 30000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(pair.Server.PendingBytes(), 65536);
    EXPECT_EQ(pair.Server.ReceiveChunk(1000).size(), 65536u);
    EXPECT_EQ(ReceiveAll(pair.Server, 34464).size(), 34464u);
}

// --- sending ---

TEST(TBlockSocketSend, LargeSendIsHandedOverInPiecesOf65536)
{
    TConnectedPair pair;
    std::string block(100000, '\0');
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 7 % 251);
    TStatusLog log;
    log.Attach(pair.Client);

    std::string received;
    std::thread reader([&] { received = ReceiveAll(pair.Server, block.size()); });
    pair.Client.SendText(block);
    reader.join();

    EXPECT_EQ(pair.Client.ErrorCode(), 0);
    EXPECT_EQ(log.Values(R::HR_WriteCount), (std::vector<std::string> { "65536", "34464" }));
    EXPECT_EQ(pair.Client.BytesSent(), 100000);
    EXPECT_TRUE(received == block) << "received " << received.size() << " bytes, not intact";
}

// The main thread sends this way: to a peer that does not read, it takes what fits and returns,
// and what it took arrives intact ahead of what is sent after it.
TEST(TBlockSocketSend, SendAvailableTakesWhatFitsWithoutWaiting)
{
    TConnectedPair pair;
    std::string block(16 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 7 % 251);
    const auto length = static_cast<std::int32_t>(block.size());
    const std::int32_t taken = pair.Client.SendAvailableBytes(block.data(), length);
    EXPECT_EQ(pair.Client.ErrorCode(), 0);
    ASSERT_GT(taken, 0);
    ASSERT_LT(taken, length) << "the peer reads nothing, so not all of it fits";
    EXPECT_EQ(pair.Client.SendAvailableBytes(block.data() + taken, length - taken), 0);
    EXPECT_EQ(pair.Client.ErrorCode(), 0) << "a full connection is no failure";

    std::string received;
    std::thread reader([&] { received = ReceiveAll(pair.Server, block.size()); });
    pair.Client.SendBytes(block.data() + taken, length - taken);
    reader.join();
    EXPECT_TRUE(received == block) << "received " << received.size() << " bytes, not intact";
}

TEST(TBlockSocketSend, EmptyTextSendsNothing)
{
    TConnectedPair pair;
    TStatusLog log;
    log.Attach(pair.Client);
    pair.Client.SendText("");
    EXPECT_TRUE(log.Take().empty());
    EXPECT_EQ(pair.Client.ErrorCode(), 0);
    EXPECT_EQ(pair.Client.BytesSent(), 0);
    EXPECT_EQ(pair.Server.ReceiveChunk(100), "");
    EXPECT_EQ(pair.Server.ErrorCode(), 10060);
}

TEST(TBlockSocketSend, SendByteSendsOneByte)
{
    TConnectedPair pair;
    EXPECT_EQ(pair.Client.SendByte(250), 1);
    EXPECT_EQ(ReceiveAll(pair.Server, 1), std::string(1, static_cast<char>(250)));
}

TEST(TBlockSocketSend, SendAfterPeerClosedFailsWithReport)
{
    TConnectedPair pair;
    TStatusLog log;
    log.Attach(pair.Client);
    pair.Server.Close();
    // The first sends may still be taken by the system; a later one meets the peer's reset.
    const auto start = std::chrono::steady_clock::now();
    while (pair.Client.ErrorCode() == 0 && MsSince(start) < 30000) {
        pair.Client.SendText("hello");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(pair.Client.ErrorCode(), 10054);
    EXPECT_EQ(log.Values(R::HR_Error).size(), 1u);
}

// --- life cycle ---

TEST(TBlockSocketLifecycle, FreshObjectHasNoHandle)
{
    TTCPBlockSocket socket;
    TStatusLog log;
    log.Attach(socket);
    EXPECT_EQ(socket.Handle(), -1);
    EXPECT_EQ(socket.ErrorCode(), 0);
    EXPECT_FALSE(socket.WaitWritable(500));
    EXPECT_NE(socket.ErrorCode(), 0);
    EXPECT_EQ(socket.PendingBytes(), 0);
}

TEST(TBlockSocketLifecycle, CloseTwiceOnlyReportsCloseTheSecondTime)
{
    TConnectedPair pair;
    TStatusLog log;
    log.Attach(pair.Client);
    pair.Client.Close();
    const auto first = log.Take();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.back().first, R::HR_SocketClose);
    EXPECT_EQ(pair.Client.Handle(), -1);
    EXPECT_EQ(pair.Client.ErrorCode(), 0);

    pair.Client.Close();
    const std::vector<TReport> expected = { { R::HR_SocketClose, "" } };
    EXPECT_EQ(log.Take(), expected);
}

TEST(TBlockSocketLifecycle, ClosedObjectCanConnectAgain)
{
    TLoopbackListener listener;
    ASSERT_TRUE(listener.Listening());
    TTCPBlockSocket socket;
    socket.Connect("127.0.0.1", listener.Port);
    ASSERT_EQ(socket.ErrorCode(), 0);
    socket.Close();
    EXPECT_FALSE(socket.WaitReadable(10));
    EXPECT_EQ(socket.ErrorCode(), 10038);
    socket.Connect("127.0.0.1", listener.Port);
    EXPECT_EQ(socket.ErrorCode(), 0);
    EXPECT_NE(socket.Handle(), -1);
}

TEST(TBlockSocketLifecycle, HookMayCloseFromInsideAReport)
{
    TConnectedPair pair;
    std::vector<THookSocketReason> seen;
    pair.Server.OnStatus = [&](TBlockSocket& sender, THookSocketReason reason, const std::string&) {
        seen.push_back(reason);
        if (reason == R::HR_Error)
            sender.Close();
    };
    pair.Client.Close();
    const std::string chunk = pair.Server.ReceiveChunk(1000);
    EXPECT_EQ(chunk, "");
    EXPECT_EQ(pair.Server.ErrorCode(), 10054) << "the receive keeps its own code";
    EXPECT_EQ(pair.Server.Handle(), -1);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[seen.size() - 2], R::HR_Error);
    EXPECT_EQ(seen.back(), R::HR_SocketClose);
    pair.Server.OnStatus = nullptr; // `seen` goes before the socket
}

// --- options and the listening socket ---

TEST(TBlockSocketOptions, LingerWaitsForCreationAndIsWholeSeconds)
{
    TTCPBlockSocket socket;
    socket.SetLingerOption(true, 10);
    EXPECT_EQ(socket.Handle(), -1);
    socket.Bind("127.0.0.1", "0");
    ASSERT_EQ(socket.ErrorCode(), 0);
    const linger applied = Linger(socket.Handle());
    EXPECT_EQ(applied.l_onoff, 1);
    EXPECT_EQ(applied.l_linger, 0);

    socket.SetLingerOption(true, 5999); // with a handle: applied at once
    EXPECT_EQ(Linger(socket.Handle()).l_linger, 5);
}

TEST(TBlockSocketOptions, OptionsWaitingAtCloseAreDiscarded)
{
    TTCPBlockSocket socket;
    socket.SetLingerOption(true, 3000);
    socket.Close();
    socket.Bind("127.0.0.1", "0");
    ASSERT_EQ(socket.ErrorCode(), 0);
    EXPECT_EQ(Linger(socket.Handle()).l_onoff, 0);
}

TEST(TBlockSocketListen, SecondBindFailsAndSocketKeepsListening)
{
    TTCPBlockSocket listener;
    TStatusLog log;
    log.Attach(listener);
    listener.Bind("127.0.0.1", "0");
    ASSERT_EQ(listener.ErrorCode(), 0);
    const std::string port = std::to_string(listener.LocalPort());
    listener.Listen();
    ASSERT_EQ(listener.ErrorCode(), 0);
    EXPECT_EQ(log.Values(R::HR_Listen).size(), 1u);

    log.Take();
    listener.Bind("127.0.0.1", port);
    EXPECT_EQ(listener.ErrorCode(), 10022);
    EXPECT_EQ(log.Values(R::HR_Error), std::vector<std::string> { "10022,Invalid argument" });
    EXPECT_TRUE(log.Values(R::HR_SocketCreate).empty()) << "the existing handle is kept";
    listener.Listen();
    EXPECT_EQ(listener.ErrorCode(), 0);

    TTCPBlockSocket client;
    client.Connect("127.0.0.1", port);
    EXPECT_EQ(client.ErrorCode(), 0);
    EXPECT_TRUE(listener.WaitReadable(2000));
    EXPECT_GE(listener.Accept(), 0);
}

TEST(TBlockSocketListen, ListenerNeverBecomesWritable)
{
    TLoopbackListener listener;
    ASSERT_TRUE(listener.Listening());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(listener.Socket.WaitWritable(150));
    EXPECT_GE(MsSince(start), 120);
    EXPECT_EQ(listener.Socket.ErrorCode(), 0);
}

TEST(TBlockSocketListen, WildcardBindListensOnEveryIPv4Address)
{
    TTCPBlockSocket listener;
    listener.Bind("0.0.0.0", "0");
    ASSERT_EQ(listener.ErrorCode(), 0);
    listener.Listen();
    EXPECT_EQ(listener.LocalAddressText(), "0.0.0.0");
    TTCPBlockSocket client;
    client.Connect("127.0.0.1", std::to_string(listener.LocalPort()));
    EXPECT_EQ(client.ErrorCode(), 0);
}

} // namespace
} // namespace quillet
