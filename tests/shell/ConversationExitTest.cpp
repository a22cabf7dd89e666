// The real program holding conversations: it is started in a sandbox as a user would run it,
// answers raw callers on its port, and is asked to end with SIGTERM; and it answers calls also
// when its phonebook holds an entry it has to complain about.
#include "ShellTestSupport.h"
#include "support/ProgramSandbox.h"

#include "settings/Settings.h"
#include "support/RawPeer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

namespace quillet {
namespace {

using namespace std::chrono_literals;
using testing::TRawPeer;
namespace fs = std::filesystem;

// True when the program could listen on its port: a socket of our own can bind it the way the
// program does (any address, address reuse on) and nothing answers a call there.
bool ProgramPortFree()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(settings::DefaultPort);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (!bound)
        return false;
    TRawPeer probe;
    return !probe.Connect(settings::DefaultPort);
}

// The inode of the socket listening on `port` (IPv4), from the kernel's table of TCP sockets.
std::optional<std::string> ListeningSocketInode(int port)
{
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line); // column titles
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid
            >> timeout >> inode;
        const bool listening = state == "0A";
        if (listening && local.size() > 5 && local.compare(local.size() - 5, 5, wanted) == 0)
            return inode;
    }
    return std::nullopt;
}

// True when process `pid` holds the socket with inode `inode`.
bool ProcessHoldsSocket(qint64 pid, const std::string& inode)
{
    const std::string wanted = "socket:[" + inode + "]";
    std::error_code error;
    for (const auto& entry :
        fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        std::error_code linkError;
        if (fs::read_symlink(entry.path(), linkError).string() == wanted)
            return true;
    }
    return false;
}

class ConversationExitTest : public ::testing::Test, protected testing::TProgramSandbox {
protected:
    void SetUp() override { ASSERT_TRUE(Prepare(QStringLiteral(QUILLET_BINARY), "Tester")); }

    void TearDown() override
    {
        if (Process->state() != QProcess::NotRunning) {
            Process->kill();
            Process->waitForFinished(5000);
        }
        if (HasFailure())
            std::cerr << "--- standard error of the program:\n" << ErrorOutput();
    }

    // Starts the program and waits until this copy listens on its port. When another program
    // holds the port the program can only be called there: SkipReason says so.
    void StartListening()
    {
        if (!ProgramPortFree()) {
            SkipReason
                = "port " + std::to_string(settings::DefaultPort) + " is in use on this machine";
            return;
        }
        Start();
        // Calls go out only once it is this copy that listens on the port: another program may
        // have taken the port since it was found free.
        std::optional<std::string> listener;
        ASSERT_TRUE(QTest::qWaitFor(
                        [&] {
                            listener = ListeningSocketInode(settings::DefaultPort);
                            return listener && ProcessHoldsSocket(Process->processId(), *listener);
                        },
                        15000)
            || listener)
            << "nothing listens on port " << settings::DefaultPort;
        if (!ProcessHoldsSocket(Process->processId(), *listener))
            SkipReason = "port " + std::to_string(settings::DefaultPort)
                + " was taken by another program as this one started";
    }

    void Start()
    {
        Process = TProgramSandbox::Start({}, Root.path() + "/stderr.log");
        ASSERT_EQ(Process->state(), QProcess::Running);
    }

    std::string ErrorOutput() const
    {
        return test::ReadWholeFile(test::PathOf(Root) / "stderr.log");
    }

    std::unique_ptr<QProcess> Process = std::make_unique<QProcess>();
    std::string SkipReason;
};

TEST_F(ConversationExitTest, TerminationWithFiveOpenConversationsEndsWithStatusZero)
{
    ASSERT_NO_FATAL_FAILURE(StartListening());
    if (!SkipReason.empty())
        GTEST_SKIP() << SkipReason << ": the exit with open conversations cannot be tested";

    std::array<TRawPeer, 5> callers;
    for (std::size_t i = 0; i < callers.size(); ++i) {
        ASSERT_TRUE(callers[i].Connect(settings::DefaultPort));
        ASSERT_TRUE(callers[i].Send("caller" + std::to_string(i) + "\r\n"));
    }
    // The reply comes from a conversation with its tab up and its greeting taken in.
    for (auto& caller : callers)
        ASSERT_EQ(caller.Receive(8, 10s), "Tester\r\n");

    // How fast the program ends is measured by bench_exit; here it only has to end, cleanly.
    Process->terminate();
    ASSERT_TRUE(Process->waitForFinished(30000)) << "still running 30 s after SIGTERM";
    // Under the sanitizers a leak or a memory error found at exit makes the status non-zero.
    EXPECT_EQ(Process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(Process->exitCode(), 0);
    const std::string errors = ErrorOutput();
    EXPECT_EQ(errors.find("Sanitizer"), std::string::npos);
    EXPECT_EQ(errors.find("runtime error"), std::string::npos);
}

TEST_F(ConversationExitTest, AStyleInThePhonebookThatIsNoNumberDoesNotKeepCallsOut)
{
    // The error box about the entry waits for the user; the start is complete before it shows.
    test::WriteWholeFile(
        Settings, "[Settings]\nUser name=Tester\n[Users Section]\nAnn=1.2.3.4,2323,two\n");
    ASSERT_NO_FATAL_FAILURE(StartListening());
    if (!SkipReason.empty())
        GTEST_SKIP() << SkipReason << ": the program cannot be called";
    TRawPeer caller;
    ASSERT_TRUE(caller.Connect(settings::DefaultPort));
    ASSERT_TRUE(caller.Send("caller\r\n"));
    EXPECT_EQ(caller.Receive(8, 10s), "Tester\r\n");
}

} // namespace
} // namespace quillet
