#include "shell/TSingleInstance.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quillet {

namespace {

constexpr int LongestRequest = 16;
constexpr auto ConnectRetryPause = std::chrono::milliseconds(20);
constexpr auto AcceptRetryPause = std::chrono::milliseconds(100);

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left
        = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// The second copy talks over a plain socket: it has no application object and no event loop,
// and it must not need a display.
class TClientSocket {
public:
    TClientSocket()
        : Fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
    }
    ~TClientSocket()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    TClientSocket(const TClientSocket&) = delete;
    TClientSocket& operator=(const TClientSocket&) = delete;

    int Fd;
};

bool SendAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

std::optional<std::string> ReadLine(int fd, Clock::time_point deadline)
{
    std::string line;
    for (;;) {
        pollfd p { fd, POLLIN, 0 };
        const int ready = ::poll(&p, 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        char buffer[64];
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return std::nullopt;
        line.append(buffer, static_cast<std::size_t>(got));
        const auto end = line.find('\n');
        if (end != std::string::npos)
            return line.substr(0, end);
        if (line.size() > LongestRequest)
            return std::nullopt;
    }
}

bool ToAddress(const std::string& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

// A listening socket at `path` that only this user may connect to, or -1. It is bound in a
// private folder beside the path and moved there once it is closed to others, so that nobody can
// connect in between.
int ListenOwnerOnly(const std::string& path)
{
    std::string folder = path + ".XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr)
        return -1;
    const std::string bound = folder + "/s";
    sockaddr_un address {};
    int fd = ToAddress(bound, address)
        ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)
        : -1;
    const bool listening = fd >= 0
        && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0
        && ::chmod(bound.c_str(), S_IRWXU) == 0 && ::rename(bound.c_str(), path.c_str()) == 0
        && ::listen(fd, SOMAXCONN) == 0;
    ::unlink(bound.c_str());
    ::rmdir(folder.c_str());
    if (!listening && fd >= 0) {
        ::close(fd);
        fd = -1;
    }
    return fd;
}

} // namespace

// One second copy's connection: the bytes of its request so far. A connection that is done is
// closed at once and dropped at the next accept, outside of its own notifier's signal.
struct TSingleInstance::TConnection {
    int Fd = -1;
    std::unique_ptr<QSocketNotifier> Readable;
    QByteArray Received;

    void Close()
    {
        Readable->setEnabled(false);
        ::close(Fd);
        Fd = -1;
    }
};

struct TSingleInstance::TServer {
    int Fd = -1;
    std::unique_ptr<QSocketNotifier> Incoming;
    std::vector<std::unique_ptr<TConnection>> Connections;

    TServer() = default;
    TServer(const TServer&) = delete;
    TServer& operator=(const TServer&) = delete;
    ~TServer()
    {
        for (const auto& connection : Connections) {
            if (connection->Fd >= 0)
                connection->Close();
        }
        Connections.clear();
        Incoming.reset();
        if (Fd >= 0)
            ::close(Fd);
    }
};

TSingleInstance::TSingleInstance(QString runtimeFolder)
    : RuntimeFolder(std::move(runtimeFolder))
    , Lock(LockFilePath(RuntimeFolder))
{
    // Only a lock whose process is gone is stale; a long-running copy keeps its lock however old.
    Lock.setStaleLockTime(0);
}

TSingleInstance::~TSingleInstance()
{
    StopListening();
}

QString TSingleInstance::UserRuntimeFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder;
}

QString TSingleInstance::LockFilePath(const QString& runtimeFolder)
{
    return QDir(runtimeFolder).absoluteFilePath(QStringLiteral("QuilletMutex.lock"));
}

QString TSingleInstance::ServerPath(const QString& runtimeFolder)
{
    return QDir(runtimeFolder).absoluteFilePath(QStringLiteral("QuilletRegister"));
}

bool TSingleInstance::TryBecomeFirstCopy()
{
    return Lock.isLocked() || Lock.tryLock(0);
}

bool TSingleInstance::Listen(
    std::function<void()> activate, std::function<bool()> mainWindowVisible)
{
    Activate = std::move(activate);
    MainWindowVisible = std::move(mainWindowVisible);

    const std::string path = QFile::encodeName(ServerPath(RuntimeFolder)).toStdString();
    // We hold the lock, so whatever is left at the path belongs to a copy that is gone.
    ::unlink(path.c_str());
    auto server = std::make_unique<TServer>();
    server->Fd = ListenOwnerOnly(path);
    if (server->Fd < 0)
        return false;
    server->Incoming = std::make_unique<QSocketNotifier>(server->Fd, QSocketNotifier::Read);
    QObject::connect(server->Incoming.get(), &QSocketNotifier::activated, server->Incoming.get(),
        [this] { AcceptConnections(); });
    Server = std::move(server);
    return true;
}

void TSingleInstance::AcceptConnections()
{
    std::erase_if(Server->Connections, [](const auto& connection) { return connection->Fd < 0; });
    for (;;) {
        const int fd = ::accept4(Server->Fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0 && errno == EINTR)
            continue;
        if (fd < 0 && (errno == EMFILE || errno == ENFILE)) {
            // The caller stays queued, and the socket stays readable: look again in a while
            // instead of spinning on it.
            QSocketNotifier* incoming = Server->Incoming.get();
            incoming->setEnabled(false);
            QTimer::singleShot(
                AcceptRetryPause, incoming, [incoming] { incoming->setEnabled(true); });
            return;
        }
        if (fd < 0)
            return; // all taken
        auto connection = std::make_unique<TConnection>();
        connection->Fd = fd;
        connection->Readable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        TConnection* raw = connection.get();
        QObject::connect(raw->Readable.get(), &QSocketNotifier::activated, raw->Readable.get(),
            [this, raw] { ReadRequest(*raw); });
        Server->Connections.push_back(std::move(connection));
    }
}

void TSingleInstance::ReadRequest(TConnection& connection)
{
    for (;;) {
        char buffer[64];
        const ssize_t got = ::recv(connection.Fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (got <= 0) {
            connection.Close();
            return;
        }
        connection.Received.append(buffer, got);
        const qsizetype end = connection.Received.indexOf('\n');
        if (end >= 0) {
            const QByteArray answer = Answer(connection.Received.left(end).trimmed());
            // A few bytes into an empty socket buffer: the send never waits.
            if (!answer.isEmpty())
                SendAll(connection.Fd,
                    std::string_view(answer.constData(), static_cast<std::size_t>(answer.size())));
            connection.Close();
            return;
        }
        if (connection.Received.size() > LongestRequest) {
            connection.Close();
            return;
        }
    }
}

QByteArray TSingleInstance::Answer(const QByteArray& request)
{
    if (request == "activate") {
        if (Activate)
            Activate();
        return (MainWindowVisible && MainWindowVisible()) ? "shown\n" : "hidden\n";
    }
    if (request == "status")
        return (MainWindowVisible && MainWindowVisible()) ? "visible\n" : "hidden\n";
    return {};
}

void TSingleInstance::StopListening()
{
    if (Server) {
        Server.reset();
        ::unlink(QFile::encodeName(ServerPath(RuntimeFolder)).constData());
    }
}

std::optional<std::string> TSingleInstance::Request(
    const QString& runtimeFolder, std::string_view command, std::chrono::milliseconds timeout)
{
    sockaddr_un address {};
    if (!ToAddress(QFile::encodeName(ServerPath(runtimeFolder)).toStdString(), address))
        return std::nullopt;

    const auto deadline = Clock::now() + timeout;
    for (;;) {
        TClientSocket socket;
        if (socket.Fd < 0)
            return std::nullopt;
        if (::connect(socket.Fd, reinterpret_cast<const sockaddr*>(&address), sizeof address)
            == 0) {
            if (!SendAll(socket.Fd, std::string(command) + "\n"))
                return std::nullopt;
            return ReadLine(socket.Fd, deadline);
        }
        // The first copy holds the lock but may not be listening yet.
        if (MillisecondsLeft(deadline) == 0)
            return std::nullopt;
        std::this_thread::sleep_for(
            std::min<Clock::duration>(ConnectRetryPause, deadline - Clock::now()));
    }
}

} // namespace quillet
