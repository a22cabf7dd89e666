// Shows the chat window with two conversations, one in Realtime and one in IM with preview, and
// saves a picture of the window with each of them in front:
//
//   xvfb-run -a chatui_screenshots <folder>
//
// writes <folder>/chat-window-realtime.png and <folder>/chat-window-preview.png.

#include "support/ConversationRig.h"

#include "chatui/TChatForm.h"
#include "chatui/TPageControl.h"
#include "chatui/TRichPane.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>

#include <cstdio>
#include <memory>

namespace {

using namespace quillet;
using quillet::testing::TConversationRig;
using quillet::testing::TFakeTickSource;

void Settle()
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void Type(TConversationRig& rig, const char* text)
{
    for (const QChar ch : QString::fromUtf8(text))
        rig.Tab->Controls().LocalPane->TypeChar(ch == u'\n' ? U'\r' : ch.unicode());
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

    TFakeTickSource ticks { 100000 };
    TChatForm form;
    form.show();

    TConversationRig bob(form, ticks);
    bob.Greet("Bob Miller");
    bob.Tab->ShowConnectionInfo("IP: 192.168.1.20 -- PORT: 2323");
    bob.Tab->RefreshControls();
    bob.Owner.Engine.ProcessIncoming(
        "Hi Alice! Did you get the photos from Saturday?\r"
        "The one at the lake came out really well, I think we shoud\x08ld print it.");
    Type(bob,
        "Yes, they arrived this morning. The lake one is my favourite too!\n"
        "Let's print it for Mum");

    TConversationRig carol(form, ticks);
    carol.Greet("Carol");
    carol.Tab->ShowConnectionInfo("IP: 10.0.0.7 -- PORT: 2323");
    carol.Tab->RefreshControls();
    carol.Owner.Engine.ProcessIncoming("Hi Alice, switching to preview\r\xFC");
    carol.Owner.Engine.ProcessIncoming("Morning! Are we still on for lunch today?\r");
    form.Tabs().SetActivePage(carol.Tab->Sheet());
    carol.Tab->RefreshControls();
    Type(carol, "Sure, half past twelve at the usual place?\n");
    carol.Owner.Engine.ProcessIncoming("Perfect. I'll bring the tickets for Friday\r");
    carol.Owner.Engine.ProcessIncoming("Could you ask Bob if he wants to come alo");
    Type(carol,
        "I'll ask him right away, and I'll tell him to bring the umbrella this time, the forecast "
        "says ra");

    // The Realtime conversation in front; Carol's tab asks for attention.
    form.Tabs().SetActivePage(bob.Tab->Sheet());
    form.SetActiveSheet(bob.Tab->Sheet());
    bob.Tab->RefreshControls();
    carol.Tab->DrawAttention();
    Settle();
    bool ok = Save(form, folder.filePath(QStringLiteral("chat-window-realtime.png")));

    form.Tabs().SetActivePage(carol.Tab->Sheet());
    form.SetActiveSheet(carol.Tab->Sheet());
    carol.Tab->ClearAttention();
    carol.Tab->RefreshControls();
    Settle();
    ok = Save(form, folder.filePath(QStringLiteral("chat-window-preview.png"))) && ok;
    return ok ? 0 : 1;
}
