#include "shell/Shutdown.h"
#include "platform/TThread.h"
#include "platform/qt/QtMainThreadDispatcher.h"
#include "shell/TTerminationSignal.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <stdexcept>
#include <string>
#include <thread>

namespace quillet {
namespace {

using namespace std::chrono_literals;

class TSleeper final : public TThread {
public:
    TSleeper(IMainThreadDispatcher& dispatcher, std::chrono::milliseconds duration)
        : TThread(dispatcher)
        , Duration(duration)
    {
    }

protected:
    void ThreadMain() override { std::this_thread::sleep_for(Duration); }

private:
    std::chrono::milliseconds Duration;
};

class TStuck final : public TThread {
public:
    using TThread::TThread;
    std::atomic<bool> Release { false };

protected:
    void ThreadMain() override
    {
        while (!Release.load())
            std::this_thread::sleep_for(1ms);
    }
};

TEST(ShutdownStepsTest, RunInOrderAndAFailingOneDoesNotStopTheRest)
{
    TShutdownSteps steps;
    std::string order;
    steps.Add([&order] { order += "listener "; });
    steps.Add([] { throw std::runtime_error("failed"); });
    steps.Add([&order] { order += "conversations"; });
    steps.Run();
    EXPECT_EQ(order, "listener conversations");
}

TEST(WaitForWorkerThreadsTest, JoinsAThreadThatFreesItselfThroughTheMainThread)
{
    TQtMainThreadDispatcher dispatcher;
    const int before = TThread::LiveCount();
    auto* thread = new TSleeper(dispatcher, 50ms);
    thread->SetFreeOnTerminate(true);
    thread->Start();
    ASSERT_EQ(TThread::LiveCount(), before + 1);

    // The thread's last step is a call posted to this thread, so only a wait that keeps handling
    // events can see it gone.
    EXPECT_TRUE(WaitForWorkerThreads(2000ms));
    EXPECT_EQ(TThread::LiveCount(), 0);
}

TEST(WaitForWorkerThreadsTest, GivesUpAfterTheLimit)
{
    TQtMainThreadDispatcher dispatcher;
    TStuck stuck(dispatcher);
    stuck.Start();
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_FALSE(WaitForWorkerThreads(100ms));
    EXPECT_GE(elapsed.elapsed(), 100);
    stuck.Release = true;
    stuck.WaitFor();
}

// An end signal reaches the main thread through its event loop, behind whatever is queued there;
// what is queued can see at once that the end has been asked for and step aside.
TEST(TerminationSignal, IsSeenAtOnceAndHandledOnTheMainThreadFromItsEventLoop)
{
    int handled = 0;
    const TTerminationSignal termination([&handled] { ++handled; });
    EXPECT_FALSE(termination.Requested());
    ASSERT_EQ(::raise(SIGTERM), 0);
    EXPECT_TRUE(termination.Requested());
    EXPECT_EQ(handled, 0);
    EXPECT_TRUE(QTest::qWaitFor([&handled] { return handled == 1; }, 5000));
    EXPECT_TRUE(termination.Requested());
}

} // namespace
} // namespace quillet
