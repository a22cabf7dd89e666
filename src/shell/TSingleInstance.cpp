#include "shell/TSingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace quillet {

namespace {

constexpr int LongestRequest = 16;
constexpr auto ConnectRetryPause = std::chrono::milliseconds(20);

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

} // namespace

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

    const QString path = ServerPath(RuntimeFolder);
    // We hold the lock, so a socket file left here belongs to a copy that is gone.
    QLocalServer::removeServer(path);
    Server = std::make_unique<QLocalServer>();
    Server->setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(Server.get(), &QLocalServer::newConnection, Server.get(), [this] {
        while (QLocalSocket* socket = Server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > LongestRequest)
                        socket->abort();
                    return;
                }
                HandleLine(*socket, socket->readLine(LongestRequest + 1).trimmed());
            });
        }
    });
    if (!Server->listen(path)) {
        Server.reset();
        return false;
    }
    return true;
}

void TSingleInstance::HandleLine(QLocalSocket& socket, const QByteArray& line)
{
    QByteArray answer;
    if (line == "activate") {
        if (Activate)
            Activate();
        answer = (MainWindowVisible && MainWindowVisible()) ? "shown\n" : "hidden\n";
    } else if (line == "status") {
        answer = (MainWindowVisible && MainWindowVisible()) ? "visible\n" : "hidden\n";
    }
    if (!answer.isEmpty()) {
        socket.write(answer);
        socket.flush();
    }
    socket.disconnectFromServer();
}

void TSingleInstance::StopListening()
{
    if (Server) {
        Server->close();
        Server.reset();
    }
}

std::optional<std::string> TSingleInstance::Request(
    const QString& runtimeFolder, std::string_view command, std::chrono::milliseconds timeout)
{
    const QByteArray path = ServerPath(runtimeFolder).toLocal8Bit();
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (static_cast<std::size_t>(path.size()) >= sizeof address.sun_path)
        return std::nullopt;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));

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
