// A send that fails is reported to the user, and the report waits for the main thread. The
// conversation thread's sends (the typing signals, the caller's greeting, the answers to a
// received chunk) must therefore hold no lock that the main thread can need meanwhile for a key
// it handles, the user action around the key included. Here the conversation thread's send fails
// exactly while the main thread types: with a lock held across the send, both threads would wait
// for each other for ever.
#include "net/ProtocolEngine.h"

#include "platform/QueueDispatcher.h"
#include "support/ProtocolFakes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace quillet {
namespace {

using namespace std::chrono_literals;
using testing::TFakeByteSender;
using testing::TFakeTickSource;
using testing::TRecordingDisplay;

// Records what is sent. Once armed, the next send made off the main thread reports a failure the
// way the conversation does: it runs a step on the main thread and waits for it.
class TFailingSender final : public IByteSender {
public:
    explicit TFailingSender(TQueueDispatcher& main)
        : Main(main)
    {
    }

    void Send(std::string_view bytes) override
    {
        Recorded.Send(bytes);
        if (!Armed || Main.IsMainThread())
            return;
        Armed = false;
        {
            const std::lock_guard<std::mutex> guard(Lock);
            Reporting = true;
        }
        Changed.notify_all();
        Main.RunOnMainThread([] {});
    }
    bool WaitWritable(int) override { return true; }

    // Main thread: waits until the failing send is reporting.
    bool WaitUntilReporting()
    {
        std::unique_lock<std::mutex> lock(Lock);
        return Changed.wait_for(lock, 20s, [this] { return Reporting; });
    }

    TFakeByteSender Recorded;
    bool Armed = false; // set before the conversation thread starts

private:
    TQueueDispatcher& Main;
    std::mutex Lock;
    std::condition_variable Changed;
    bool Reporting = false;
};

struct TRow {
    const char* Name;
    // Brings the engine to the moment before the conversation thread's send.
    std::function<void(TProtocolEngine&, TFakeTickSource&)> Prepare;
    // The conversation thread's step, whose send fails.
    std::function<void(TProtocolEngine&)> ThreadStep;
    std::string Expected; // what leaves, in this order, from the failing send on
};

// Plays the main thread (it owns the dispatcher) on a thread of its own, so that a deadlock
// ends the test with a failure instead of hanging it. True when everything finished.
bool RunRow(const TRow& row, std::string& sent)
{
    std::mutex lock;
    std::condition_variable changed;
    bool finished = false;
    std::thread mainThread([&] {
        TQueueDispatcher main;
        TFakeTickSource ticks(1000);
        TRecordingDisplay display;
        TFailingSender sender(main);
        TProtocolEngine engine(display, sender, ticks, "Ann");
        row.Prepare(engine, ticks);
        sender.Recorded.Clear();
        sender.Armed = true;

        bool threadDone = false;
        std::thread conversation([&] {
            row.ThreadStep(engine);
            main.Post([&threadDone] { threadDone = true; });
        });
        if (sender.WaitUntilReporting()) {
            // Needs the engine's locks while the report waits.
            const TUserAction action(engine);
            engine.TypingPaneChanged("k", 0);
        }
        main.ProcessUntil([&] { return threadDone; }, 20s);
        conversation.join();
        sent = sender.Recorded.Bytes();
        {
            const std::lock_guard<std::mutex> guard(lock);
            finished = true;
        }
        changed.notify_all();
    });
    std::unique_lock<std::mutex> wait(lock);
    if (!changed.wait_for(wait, 30s, [&] { return finished; })) {
        // Both threads are stuck for good: nothing can join them, so the process ends here.
        std::fprintf(stderr,
            "%s: the conversation thread and the main thread wait for each other\n", row.Name);
        std::_Exit(EXIT_FAILURE);
    }
    wait.unlock();
    mainThread.join();
    return finished;
}

TEST(ProtocolLocks, AFailedSendReportingToTheMainThreadNeverBlocksTheMainThreadsKeys)
{
    const TRow rows[] = {
        { "typing signal",
            [](TProtocolEngine& engine, TFakeTickSource& ticks) {
                engine.ProcessIncoming("Bob\r\n");
                engine.UserChoseStyle(TChatStyle::IM);
                engine.TypingPaneChanged("a", 0);
                ticks.Advance(2500);
            },
            [](TProtocolEngine& engine) { engine.TypingTick(); }, "\xF7\xF9" },
        { "caller's greeting", [](TProtocolEngine&, TFakeTickSource&) {},
            [](TProtocolEngine& engine) { engine.SendGreeting(); }, "Ann\r\nk" },
        // The key's user action shows the switch first: the key goes out as IM typing.
        { "echo of a received signal",
            [](TProtocolEngine& engine, TFakeTickSource&) { engine.ProcessIncoming("Bob\r\n"); },
            [](TProtocolEngine& engine) { engine.DecideIncoming("\xFB"); }, "\xFB\xF9" },
    };
    for (const TRow& row : rows) {
        std::string sent;
        ASSERT_TRUE(RunRow(row, sent)) << row.Name;
        EXPECT_EQ(sent, row.Expected) << row.Name << ": the key follows the failed send";
    }
}

} // namespace
} // namespace quillet
