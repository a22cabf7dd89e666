#include "platform/TThread.h"
#include "platform/QueueDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillet {
namespace {

using namespace std::chrono_literals;

class TProbeThread final : public TThread {
public:
    TProbeThread(IMainThreadDispatcher& d, std::atomic<int>& destroyed, bool throwInBody)
        : TThread(d)
        , Destroyed(destroyed)
        , Throw(throwInBody)
    {
    }
    ~TProbeThread() override { Destroyed.fetch_add(1); }

    bool RanOnMain = false;

protected:
    void ThreadMain() override
    {
        RunOnMainThread([this] { RanOnMain = Dispatcher().IsMainThread(); });
        if (Throw)
            throw std::runtime_error("body failed");
    }

private:
    std::atomic<int>& Destroyed;
    bool Throw;
};

TEST(TThread, FreeOnTerminateRunsCallbackOnMainThreadThenFrees)
{
    TQueueDispatcher dispatcher;
    std::atomic<int> destroyed { 0 };
    bool callbackOnMain = false;
    bool sawRanOnMain = false;
    const int liveBefore = TThread::LiveCount();
    auto* thread = new TProbeThread(dispatcher, destroyed, false);
    thread->SetFreeOnTerminate(true);
    thread->SetOnTerminate([&](TThread& t) {
        callbackOnMain = dispatcher.IsMainThread();
        sawRanOnMain = static_cast<TProbeThread&>(t).RanOnMain;
    });
    thread->Start();
    EXPECT_TRUE(dispatcher.ProcessUntil([&] { return destroyed.load() == 1; }, 5s));
    EXPECT_TRUE(callbackOnMain);
    EXPECT_TRUE(sawRanOnMain);
    EXPECT_EQ(TThread::LiveCount(), liveBefore);
}

TEST(TThread, ABodyThatThrowsIsReportedThenTerminates)
{
    TQueueDispatcher dispatcher;
    std::atomic<int> destroyed { 0 };
    std::vector<std::string> steps;
    auto* thread = new TProbeThread(dispatcher, destroyed, true);
    thread->SetFreeOnTerminate(true);
    thread->SetOnError([&](const std::exception_ptr& error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            steps.push_back(
                std::string(dispatcher.IsMainThread() ? "main: " : "worker: ") + e.what());
        }
    });
    thread->SetOnTerminate([&](TThread&) { steps.push_back("terminated"); });
    ::testing::internal::CaptureStderr();
    thread->Start();
    EXPECT_TRUE(dispatcher.ProcessUntil([&] { return destroyed.load() == 1; }, 30s));
    const std::string errorOutput = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(steps, (std::vector<std::string> { "main: body failed", "terminated" }));
    EXPECT_NE(errorOutput.find("body failed\n"), std::string::npos) << errorOutput;
}

TEST(TThread, ABodyThatThrowsWithoutAnErrorCallbackStillTerminates)
{
    TQueueDispatcher dispatcher;
    std::atomic<int> destroyed { 0 };
    bool terminated = false;
    auto* thread = new TProbeThread(dispatcher, destroyed, true);
    thread->SetFreeOnTerminate(true);
    thread->SetOnTerminate([&](TThread&) { terminated = true; });
    ::testing::internal::CaptureStderr();
    thread->Start();
    EXPECT_TRUE(dispatcher.ProcessUntil([&] { return destroyed.load() == 1; }, 30s));
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("body failed"), std::string::npos);
    EXPECT_TRUE(terminated);
}

TEST(TThread, OwnedThreadIsJoinedByWaitFor)
{
    TQueueDispatcher dispatcher;
    std::atomic<int> destroyed { 0 };
    {
        TProbeThread thread(dispatcher, destroyed, false);
        thread.Start();
        EXPECT_TRUE(dispatcher.ProcessUntil([&] { return thread.Finished(); }, 5s));
        thread.WaitFor();
        EXPECT_TRUE(thread.RanOnMain);
    }
    EXPECT_EQ(destroyed.load(), 1);
}

TEST(QueueDispatcher, RunOnMainThreadFromTheMainThreadRunsDirectly)
{
    TQueueDispatcher dispatcher;
    int calls = 0;
    dispatcher.RunOnMainThread([&] { ++calls; });
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace quillet
