#include "shell/DesktopOpener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace quillet {
namespace {

// The desktop's opener and its status for "no program handles this".
constexpr char Opener[] = "xdg-open";
constexpr int NoProgramStatus = 3;

} // namespace

QProcess* OpenWithDesktop(const QUrl& url, const std::function<void()>& noProgram)
{
    const QString opener = QStandardPaths::findExecutable(QString::fromLatin1(Opener));
    if (opener.isEmpty()) {
        // The toolkit's way, which tells only whether it could hand the address to anyone.
        if (!QDesktopServices::openUrl(url))
            noProgram();
        return nullptr;
    }
    // No parent: a parent's end would kill the opener, and with it, on some desktops, the viewer.
    auto* process = new QProcess;
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
        [process, noProgram](int status, QProcess::ExitStatus how) {
            if (how == QProcess::NormalExit && status == NoProgramStatus)
                noProgram();
            process->deleteLater();
        });
    QObject::connect(process, &QProcess::errorOccurred, process,
        [process, noProgram](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            noProgram();
            process->deleteLater();
        });
    process->start(opener, { url.isLocalFile() ? url.toLocalFile() : url.toString() });
    return process;
}

} // namespace quillet
