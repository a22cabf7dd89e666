#pragma once

// Pieces shared by the conversation benchmarks: one copy of the program's conversation side
// (chat window, tab factory, listener on an ephemeral loopback port), plain TCP peers (callers,
// a raw ping-pong pair), event loop waits with deadlines, the process figures (CPU time,
// resident memory, heap) and idle threads to compare idle conversations with.

#include "chatui/TChatForm.h"
#include "chatui/TChatTabFactory.h"
#include "chatui/TConversationTab.h"
#include "chatui/TRichPane.h"
#include "chatui/TTabSheet.h"
#include "net/TChatServer.h"
#include "platform/TickSource.h"
#include "platform/qt/QtMainThreadDispatcher.h"
#include "support/MemoryProbes.h"
#include "support/ProgramCopy.h"
#include "support/RawPeer.h"
#include "support/RunUntil.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quillet::bench {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

inline double Ms(TClock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

inline double Us(TClock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

// --- statistics ---

struct TSummary {
    std::size_t Count = 0;
    double Min = 0;
    double Median = 0;
    double P99 = 0;
    double Max = 0;
};

// Nearest-rank percentiles over the samples.
inline TSummary Summarise(std::vector<double> samples)
{
    TSummary s;
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    const auto rank = [&](double p) {
        const auto n = static_cast<double>(samples.size());
        const auto index = static_cast<std::size_t>(std::max(1.0, std::ceil(p * n))) - 1;
        return samples[std::min(index, samples.size() - 1)];
    };
    s.Count = samples.size();
    s.Min = samples.front();
    s.Median = rank(0.5);
    s.P99 = rank(0.99);
    s.Max = samples.back();
    return s;
}

using testing::RunFor;
using testing::RunUntil;

// --- process figures ---

inline double CpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

inline long ContextSwitches()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

using testing::HeapInUse;
using testing::ResidentBytes;

// The one-minute load average and the number of processors, for the report.
inline std::string MachineLoad()
{
    std::string text = "loadavg ?";
    if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
        char buffer[128] = {};
        if (std::fgets(buffer, sizeof buffer, file) != nullptr) {
            text = "loadavg ";
            text += buffer;
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                text.pop_back();
        }
        std::fclose(file);
    }
    return text + ", " + std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)) + " processors";
}

using testing::TRawPeer;

// --- one copy of the program's conversation side ---

// The Qt dispatcher, counting the calls worker threads make on the main thread: each is a wake
// of the main thread and a wait of the worker.
class TCountingDispatcher final : public IMainThreadDispatcher {
public:
    void RunOnMainThread(const std::function<void()>& fn) override
    {
        if (!Real.IsMainThread())
            WorkerCalls.fetch_add(1, std::memory_order_relaxed);
        Real.RunOnMainThread(fn);
    }
    void Post(std::function<void()> fn) override
    {
        WorkerCalls.fetch_add(1, std::memory_order_relaxed);
        Real.Post(std::move(fn));
    }
    bool IsMainThread() const override { return Real.IsMainThread(); }

    long Calls() const { return WorkerCalls.load(); }

private:
    TQtMainThreadDispatcher Real;
    std::atomic<long> WorkerCalls { 0 };
};

// A copy of the program's conversation side; see tests/support/ProgramCopy.h.
using TCopy = testing::TProgramCopy;

// Watches a pane's repaints: the time of the first paint at which `Ready` holds.
class TPaintWatch final : public QObject {
public:
    explicit TPaintWatch(TRichPane& pane)
        : Pane(&pane)
    {
        pane.viewport()->installEventFilter(this);
    }
    ~TPaintWatch() override
    {
        if (!Pane.isNull())
            Pane->viewport()->removeEventFilter(this);
    }
    TPaintWatch(const TPaintWatch&) = delete;
    TPaintWatch& operator=(const TPaintWatch&) = delete;

    void Arm(std::function<bool()> ready)
    {
        Ready = std::move(ready);
        Hit.reset();
    }

    std::optional<TClock::time_point> Hit;
    int Paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++Paints;
            if (!Hit && Ready && Ready())
                Hit = TClock::now();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<TRichPane> Pane;
    std::function<bool()> Ready;
};

// --- raw loopback ping-pong: the floor any keystroke latency stands on ---

// Two connected TCP_NODELAY sockets; a thread echoes every byte it receives and notes when it
// received it. Both ends sleep in poll between bytes, as a conversation's thread does.
class TRawPingPong {
public:
    bool Open()
    {
        TRawPeer listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener.Handle(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::listen(listener.Handle(), 1) != 0
            || ::getsockname(listener.Handle(), reinterpret_cast<sockaddr*>(&address), &length)
                != 0)
            return false;
        if (!Client.Connect(ntohs(address.sin_port)))
            return false;
        Server = TRawPeer(::accept(listener.Handle(), nullptr, nullptr));
        if (Server.Handle() < 0)
            return false;
        Server.NoDelay();
        Echo = std::thread([this] { EchoLoop(); });
        return true;
    }

    ~TRawPingPong()
    {
        Stop.store(true);
        if (Client.Handle() >= 0)
            ::shutdown(Client.Handle(), SHUT_RDWR);
        if (Echo.joinable())
            Echo.join();
    }

    TRawPingPong() = default;
    TRawPingPong(const TRawPingPong&) = delete;
    TRawPingPong& operator=(const TRawPingPong&) = delete;

    // One byte there and back: the one-way time seen by the echo side and the round trip, in µs.
    std::optional<std::pair<double, double>> PingOnce()
    {
        const char ping = 'k';
        const auto sentAt = TClock::now();
        if (::send(Client.Handle(), &ping, 1, MSG_NOSIGNAL) != 1)
            return std::nullopt;
        pollfd entry { Client.Handle(), POLLIN, 0 };
        char answer = 0;
        if (::poll(&entry, 1, 1000) != 1 || ::recv(Client.Handle(), &answer, 1, 0) != 1)
            return std::nullopt;
        const auto backAt = TClock::now();
        const TClock::time_point receivedAt { TClock::duration(ReceivedAt.load()) };
        return std::make_pair(Us(receivedAt - sentAt), Us(backAt - sentAt));
    }

private:
    void EchoLoop()
    {
        char buffer[64];
        while (!Stop.load()) {
            pollfd entry { Server.Handle(), POLLIN, 0 };
            if (::poll(&entry, 1, 300) <= 0)
                continue;
            const ssize_t got = ::recv(Server.Handle(), buffer, sizeof buffer, 0);
            if (got <= 0)
                return;
            ReceivedAt.store(TClock::now().time_since_epoch().count());
            ::send(Server.Handle(), buffer, static_cast<std::size_t>(got), MSG_NOSIGNAL);
        }
    }

    TRawPeer Client;
    TRawPeer Server;
    std::thread Echo;
    std::atomic<bool> Stop { false };
    std::atomic<TClock::rep> ReceivedAt { 0 };
};

// --- callers: plain sockets that greet a copy and wait for its reply greeting ---

// Waits with one poll over all the peers still `wanted(i)` at a time, handing each one that has
// something to read to `readable(i)`, until none is wanted or `deadline` has passed.
template <typename TWanted, typename TReadable>
void PollPeers(const std::vector<TRawPeer>& peers, TWanted wanted, TReadable readable,
    TClock::time_point deadline)
{
    std::vector<pollfd> entries;
    std::vector<std::size_t> owners;
    while (TClock::now() < deadline) {
        entries.clear();
        owners.clear();
        for (std::size_t i = 0; i < peers.size(); ++i) {
            if (wanted(i)) {
                entries.push_back({ peers[i].Handle(), POLLIN, 0 });
                owners.push_back(i);
            }
        }
        if (entries.empty())
            return;
        if (::poll(entries.data(), entries.size(), 100) <= 0)
            continue;
        for (std::size_t k = 0; k < entries.size(); ++k) {
            if (entries[k].revents != 0)
                readable(owners[k]);
        }
    }
}

struct TCallers {
    std::vector<TRawPeer> Sockets;
    std::vector<double> GreetedMs; // per caller, from the start of the run
    double AllSentMs = 0; // every caller connected and its greeting sent
    int Failed = 0;
};

// Connects `count` callers at once from a thread of their own (each sends "CallerN" CR LF at
// once after connecting), and waits until each has received `calleeName` CR LF back. The main
// thread runs the event loop meanwhile, as the program's does. `tabsShownMs` is when the copy's
// chat window held a tab with the caller's name for every caller.
inline TCallers OpenCallers(
    TCopy& copy, int count, const std::string& calleeName, double* tabsShownMs = nullptr)
{
    TCallers result;
    result.Sockets.resize(static_cast<std::size_t>(count));
    result.GreetedMs.assign(static_cast<std::size_t>(count), -1);
    const std::size_t tabsBefore = copy.Views.Made();
    const int port = copy.Port();
    std::atomic<bool> done { false };
    const auto start = TClock::now();

    std::thread callers([&] {
        for (int i = 0; i < count; ++i) {
            TRawPeer& s = result.Sockets[static_cast<std::size_t>(i)];
            if (!s.Connect(port, testing::CrowdAddress(i, 40))
                || !s.Send("Caller" + std::to_string(i) + "\r\n"))
                s.Close();
        }
        result.AllSentMs = Ms(TClock::now() - start);
        std::vector<std::string> received(static_cast<std::size_t>(count));
        const std::string expected = calleeName + "\r\n";
        const auto deadline = TClock::now() + 20s;
        PollPeers(
            result.Sockets,
            [&](std::size_t i) {
                return result.Sockets[i].Handle() >= 0 && result.GreetedMs[i] < 0;
            },
            [&](std::size_t i) {
                if (result.Sockets[i].ReceiveSome(received[i], 0) < 0) {
                    result.Sockets[i].Close();
                } else if (received[i].size() >= expected.size()) {
                    // The greeting is all the callee sends first; anything else is a fault.
                    if (received[i].compare(0, expected.size(), expected) == 0)
                        result.GreetedMs[i] = Ms(TClock::now() - start);
                    else
                        result.Sockets[i].Close();
                }
            },
            deadline);
        done.store(true);
    });

    double shown = -1;
    RunUntil(
        [&] {
            if (shown < 0 && copy.Views.Greeted(tabsBefore) >= static_cast<std::size_t>(count))
                shown = Ms(TClock::now() - start);
            return done.load() && shown >= 0;
        },
        30s);
    if (!done.load())
        RunUntil([&] { return done.load(); }, 30s); // the thread's own deadline ends it
    callers.join();
    for (const double ms : result.GreetedMs)
        result.Failed += ms < 0 ? 1 : 0;
    if (tabsShownMs != nullptr)
        *tabsShownMs = shown;
    return result;
}

// A raw peer that has called `copy` and greeted as "Raw"; its tab is the copy's newest.
inline TConversationTab* CallAsRawPeer(
    TCopy& copy, TRawPeer& peer, const std::string& afterName = {})
{
    const std::size_t index = copy.Views.Made();
    if (!peer.Connect(copy.Port()) || !peer.Send("Raw\r\n" + afterName))
        return nullptr;
    if (!RunUntil(
            [&] {
                const TConversationTab* tab = copy.Views.Tab(index);
                return tab != nullptr && tab->PeerName() == "Raw";
            },
            5s))
        return nullptr;
    return copy.Views.Tab(index);
}

// --- idle threads ---

// For comparison with idle conversations: threads that wait as a conversation's thread waits (poll
// on a quiet socket, 300 ms at a time) and, if asked, make one empty call on the main thread per
// pass, as a conversation's pass does.
class TIdleThreads {
public:
    TIdleThreads(IMainThreadDispatcher& dispatcher, int count, bool callMainThread)
    {
        for (int i = 0; i < count; ++i) {
            int pair[2] = { -1, -1 };
            if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
                break;
            Ends.emplace_back(pair[0]);
            Ends.emplace_back(pair[1]);
            const int fd = pair[0];
            Threads.emplace_back([this, fd, &dispatcher, callMainThread] {
                while (!Stop.load()) {
                    pollfd entry { fd, POLLIN, 0 };
                    ::poll(&entry, 1, 300);
                    if (callMainThread && !Stop.load())
                        dispatcher.RunOnMainThread([] {});
                }
                Exited.fetch_add(1);
            });
        }
    }
    ~TIdleThreads()
    {
        Stop.store(true);
        // A thread may be waiting for the main thread: keep the event loop running until all
        // have left.
        RunUntil([this] { return Exited.load() == static_cast<int>(Threads.size()); }, 5s);
        for (std::thread& thread : Threads)
            thread.join();
    }
    TIdleThreads(const TIdleThreads&) = delete;
    TIdleThreads& operator=(const TIdleThreads&) = delete;

private:
    std::vector<TRawPeer> Ends;
    std::vector<std::thread> Threads;
    std::atomic<bool> Stop { false };
    std::atomic<int> Exited { 0 };
};

} // namespace quillet::bench
