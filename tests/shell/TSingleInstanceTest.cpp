#include "shell/TSingleInstance.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace quillet {
namespace {

using namespace std::chrono_literals;

// The request blocks, and the answer needs this thread's event loop, so the request runs on
// another thread while this one handles events.
std::optional<std::string> RequestWhileServing(const QString& folder, std::string command)
{
    auto answer = std::async(std::launch::async,
        [folder, command] { return TSingleInstance::Request(folder, command, 3000ms); });
    EXPECT_TRUE(QTest::qWaitFor(
        [&answer] { return answer.wait_for(0ms) == std::future_status::ready; }, 5000));
    return answer.get();
}

class TSingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Runtime.isValid()); }

    QTemporaryDir Runtime;
};

TEST_F(TSingleInstanceTest, OnlyOneHolderOfTheLockAtATime)
{
    auto first = std::make_unique<TSingleInstance>(Runtime.path());
    TSingleInstance second(Runtime.path());
    EXPECT_TRUE(first->TryBecomeFirstCopy());
    EXPECT_FALSE(second.TryBecomeFirstCopy());
    first.reset();
    EXPECT_TRUE(second.TryBecomeFirstCopy());
}

TEST_F(TSingleInstanceTest, ActivationIsAnsweredOnceTheWindowIsVisible)
{
    TSingleInstance instance(Runtime.path());
    ASSERT_TRUE(instance.TryBecomeFirstCopy());
    bool visible = false;
    int activations = 0;
    ASSERT_TRUE(instance.Listen(
        [&] {
            ++activations;
            visible = true;
        },
        [&] { return visible; }));

    EXPECT_EQ(RequestWhileServing(Runtime.path(), "status"), "hidden");
    EXPECT_EQ(activations, 0);
    EXPECT_EQ(RequestWhileServing(Runtime.path(), "activate"), "shown");
    EXPECT_EQ(activations, 1);
    EXPECT_EQ(RequestWhileServing(Runtime.path(), "status"), "visible");
}

TEST_F(TSingleInstanceTest, UnknownRequestsAreClosedUnansweredAndChangeNothing)
{
    TSingleInstance instance(Runtime.path());
    ASSERT_TRUE(instance.TryBecomeFirstCopy());
    int activations = 0;
    ASSERT_TRUE(instance.Listen([&] { ++activations; }, [] { return false; }));
    EXPECT_EQ(RequestWhileServing(Runtime.path(), "activate please"), std::nullopt);
    EXPECT_EQ(RequestWhileServing(Runtime.path(), std::string(100, 'x')), std::nullopt);
    EXPECT_EQ(activations, 0);
}

TEST_F(TSingleInstanceTest, ASocketLeftByAGoneCopyIsReplaced)
{
    {
        TSingleInstance gone(Runtime.path());
        ASSERT_TRUE(gone.TryBecomeFirstCopy());
    }
    // A plain file where the socket would be, as a crashed copy could leave one.
    QFile leftover(TSingleInstance::ServerPath(Runtime.path()));
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();

    TSingleInstance instance(Runtime.path());
    ASSERT_TRUE(instance.TryBecomeFirstCopy());
    ASSERT_TRUE(instance.Listen([] {}, [] { return true; }));
    EXPECT_EQ(RequestWhileServing(Runtime.path(), "status"), "visible");
}

TEST_F(TSingleInstanceTest, OnlyItsUserMayConnectAndCallersThatSayNothingChangeNothing)
{
    TSingleInstance instance(Runtime.path());
    ASSERT_TRUE(instance.TryBecomeFirstCopy());
    int activations = 0;
    ASSERT_TRUE(instance.Listen([&] { ++activations; }, [] { return true; }));

    struct stat socketFile { };
    const QByteArray path = QFile::encodeName(TSingleInstance::ServerPath(Runtime.path()));
    ASSERT_EQ(::stat(path.constData(), &socketFile), 0);
    EXPECT_TRUE(S_ISSOCK(socketFile.st_mode));
    EXPECT_EQ(socketFile.st_mode & 077, 0u);

    // One caller hangs up at once, one after half a request, one keeps its connection open.
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    int callers[3];
    for (int& fd : callers) {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    }
    ::close(callers[0]);
    ASSERT_EQ(::send(callers[1], "activ", 5, MSG_NOSIGNAL), 5);
    ::close(callers[1]);

    EXPECT_EQ(RequestWhileServing(Runtime.path(), "status"), "visible");
    EXPECT_EQ(RequestWhileServing(Runtime.path(), "activate"), "shown");
    EXPECT_EQ(activations, 1);
    ::close(callers[2]);
}

TEST_F(TSingleInstanceTest, RequestWithoutARunningCopyGivesUpAfterItsTimeout)
{
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(TSingleInstance::Request(Runtime.path(), "activate", 200ms), std::nullopt);
    EXPECT_GE(elapsed.elapsed(), 190);
}

} // namespace
} // namespace quillet
