#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// One running copy per user: a lock file and an activation socket, both in the user's runtime
// folder, so that two users (or two test sandboxes with their own runtime folders) never meet.
//
// The first copy holds the lock file "QuilletMutex.lock" for its whole run; a copy killed
// without cleaning up leaves a lock whose process is gone, and the next start takes it over.
// The first copy also listens on the local socket "QuilletRegister". A second copy connects to
// it and sends one line; the first copy answers with one line and closes:
//
//   "activate"  -> the main window is shown and brought to the front; the answer "shown" comes
//                  once it is visible ("hidden" if it could not be shown)
//   "status"    -> "visible" or "hidden", changing nothing
//
// Anything else, or a line longer than the longest request, closes the connection unanswered.
// The socket is a plain Unix-domain socket served from the event loop, so that the program needs
// no network library to start (loading one costs every start a millisecond and more).
class TSingleInstance {
public:
    explicit TSingleInstance(QString runtimeFolder);
    ~TSingleInstance();

    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // The runtime folder of the current user ($XDG_RUNTIME_DIR).
    static QString UserRuntimeFolder();
    static QString LockFilePath(const QString& runtimeFolder);
    static QString ServerPath(const QString& runtimeFolder);

    // Takes the lock. False when another live copy holds it.
    bool TryBecomeFirstCopy();

    // First copy, after the application object exists: answers activations from now on.
    // `activate` shows the main window; `mainWindowVisible` tells whether it is visible.
    bool Listen(std::function<void()> activate, std::function<bool()> mainWindowVisible);
    void StopListening();

    // Second copy: asks the running copy to show its main window. Waits at most `timeout` for
    // the connection and the answer together (the first copy may still be starting). Returns the
    // answer line, or nothing when there was none in time.
    static std::optional<std::string> Request(
        const QString& runtimeFolder, std::string_view command, std::chrono::milliseconds timeout);

private:
    struct TServer;
    struct TConnection;

    void AcceptConnections();
    void ReadRequest(TConnection& connection);
    // The answer line to a request, empty for none.
    QByteArray Answer(const QByteArray& request);

    QString RuntimeFolder;
    QLockFile Lock;
    std::unique_ptr<TServer> Server;
    std::function<void()> Activate;
    std::function<bool()> MainWindowVisible;
};

} // namespace quillet
