// Shows the chat window with two conversations, one in Realtime and one in IM with preview, and
// saves a picture of the window with each of them in front:
//
//   xvfb-run -a chatui_screenshots <folder> [native]
//
// writes <folder>/chat-window-realtime.png and <folder>/chat-window-preview.png, painted with the
// built-in skin as the program paints it; with "native", without a skin, as
// chat-window-realtime-native.png and chat-window-preview-native.png.

#include "support/ChatWindowScene.h"

#include "chatui/TChatForm.h"
#include "skin/BuiltinSkinPackage.h"
#include "skin/SkinLoader.h"
#include "skin/TSkinData.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>

#include <cstdio>

namespace {

using namespace quillet;
using quillet::testing::TChatWindowScene;
using quillet::testing::TFakeTickSource;

void Settle()
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool Save(QWidget& window, const QString& path)
{
    const bool saved = window.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    const bool native = argc > 2 && QByteArray(argv[2]) == "native";
    const QString suffix = native ? QStringLiteral("-native.png") : QStringLiteral(".png");
    // Made before the window, as the main window's skin is in the program.
    const TSkinData skin(
        native ? skin::TSkinLoad {} : skin::LoadSkin({}, skin::BuiltinSkinPackage()));

    TFakeTickSource ticks { 100000 };
    TChatForm form;
    form.show();

    TChatWindowScene scene(form, ticks);
    Settle();
    bool ok = Save(form, folder.filePath(QStringLiteral("chat-window-realtime") + suffix));

    scene.ShowPreview();
    Settle();
    ok = Save(form, folder.filePath(QStringLiteral("chat-window-preview") + suffix)) && ok;
    return ok ? 0 : 1;
}
