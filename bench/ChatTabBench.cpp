// Speed of real conversation tabs on the offscreen platform: received text goes through the
// protocol engine into the tab, and the event loop runs after every chunk so that layout and
// painting are part of the figure; and what a crowd of new tabs costs the window.
//
//   bench_chatui --benchmark_filter=...   (QT_QPA_PLATFORM defaults to offscreen)

#include "support/ConversationRig.h"

#include "chatui/TChatForm.h"
#include "chatui/TConversationTab.h"
#include "chatui/TRichPane.h"
#include "skin/BuiltinSkinPackage.h"
#include "skin/SkinLoader.h"
#include "skin/TSkinData.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace quillet;
using quillet::testing::TConversationRig;
using quillet::testing::TFakeTickSource;

constexpr std::size_t StreamBytes = 1 << 20;
constexpr std::size_t RunBytes = 64 << 10;
constexpr int IMLines = 10000;

// Words with spaces and a few Windows-1252 letters, no line break.
std::string RealtimeStream(std::size_t size)
{
    static const char* const words[] = { "quick ", "brown ", "fox ", "jumps ", "over ", "the ",
        "lazy ", "dog ", "caf\xE9 ", "na\xEFve ", "typing ", "while ", "you ", "read ", "it " };
    std::string s;
    s.reserve(size);
    for (std::size_t i = 0; s.size() < size; ++i)
        s += words[i % (sizeof(words) / sizeof(words[0]))];
    s.resize(size);
    return s;
}

struct TWindow {
    TWindow()
    {
        Form.show();
        Rig = std::make_unique<TConversationRig>(Form, Ticks);
        Rig->Greet("Bob");
        Rig->Tab->RefreshControls();
        QApplication::processEvents();
    }
    TFakeTickSource Ticks { 100000 };
    TChatForm Form;
    std::unique_ptr<TConversationRig> Rig;
};

// Runs the event loop until the transcript has painted what it holds.
void FinishPainting(const TRichPane& pane)
{
    do
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    while (pane.PaintPending());
    QApplication::processEvents();
}

void RealtimeMegabyteIn64KRuns(benchmark::State& state)
{
    TWindow window;
    const std::string stream = RealtimeStream(StreamBytes);
    for (auto _ : state) {
        state.PauseTiming();
        window.Rig->Tab->ClearTranscript();
        QApplication::processEvents();
        state.ResumeTiming();
        for (std::size_t at = 0; at < stream.size(); at += RunBytes) {
            window.Rig->Owner.Engine.ProcessIncoming(std::string_view(stream).substr(at, RunBytes));
            QApplication::processEvents();
        }
        FinishPainting(*window.Rig->Tab->Controls().Transcript);
    }
    const qsizetype length = window.Rig->Tab->Controls().Transcript->Text().size();
    if (length != static_cast<qsizetype>(StreamBytes))
        state.SkipWithError("transcript does not hold the whole stream");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * StreamBytes));
}
BENCHMARK(RealtimeMegabyteIn64KRuns)->Unit(benchmark::kMillisecond)->Iterations(3);

// Ten thousand IM lines, each arriving as a chunk of its own (the slowest case: one display
// round, one scroll and one event loop pass per line).
void IMTenThousandLines(benchmark::State& state)
{
    TWindow window;
    window.Rig->Owner.Engine.UserChoseStyle(TChatStyle::IM);
    std::vector<std::string> lines;
    for (int i = 0; i < IMLines; ++i)
        lines.push_back("line " + std::to_string(i) + ": see you at the caf\xE9 at eight\r\n");
    for (auto _ : state) {
        state.PauseTiming();
        window.Rig->Tab->ClearTranscript();
        QApplication::processEvents();
        state.ResumeTiming();
        for (const std::string& line : lines) {
            window.Rig->Owner.Engine.ProcessIncoming(line);
            QApplication::processEvents();
        }
        FinishPainting(*window.Rig->Tab->Controls().Transcript);
    }
    if (window.Rig->Tab->Controls().Transcript->document()->blockCount() != IMLines + 1)
        state.SkipWithError("transcript does not hold every line");
    state.SetItemsProcessed(state.iterations() * IMLines);
}
BENCHMARK(IMTenThousandLines)->Unit(benchmark::kMillisecond)->Iterations(3);

// For comparison: what a transcript costs when every received character moves the visible
// cursor, sets the format and scrolls, one at a time (the way the tab does not do it).
void NaivePerCharacter(benchmark::State& state)
{
    TWindow window;
    TRichPane& pane = *window.Rig->Tab->Controls().Transcript;
    const QTextCharFormat format = window.Rig->Tab->Fonts().PeerText;
    const QString text
        = QString::fromLatin1(RealtimeStream(static_cast<std::size_t>(state.range(0))));
    for (auto _ : state) {
        state.PauseTiming();
        pane.ClearText();
        QApplication::processEvents();
        state.ResumeTiming();
        for (const QChar ch : text) {
            QTextCursor cursor = pane.textCursor();
            cursor.movePosition(QTextCursor::End);
            pane.setTextCursor(cursor);
            pane.setCurrentCharFormat(format);
            pane.insertPlainText(QString(ch));
            pane.ensureCursorVisible();
            QApplication::processEvents();
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(NaivePerCharacter)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Pasting a long text into the Realtime typing pane: every character goes out as a key and is
// shown in the pane; the event loop runs once afterwards and the pane paints what it holds.
void PasteIntoRealtimePane(benchmark::State& state)
{
    TWindow window;
    TRichPane& pane = *window.Rig->Tab->Controls().LocalPane;
    const QString text
        = QString::fromLatin1(RealtimeStream(static_cast<std::size_t>(state.range(0))));
    QMimeData pasted;
    pasted.setText(text);
    for (auto _ : state) {
        state.PauseTiming();
        pane.ClearText();
        QApplication::processEvents();
        state.ResumeTiming();
        QApplication::clipboard()->setMimeData(new QMimeData);
        QApplication::clipboard()->setText(text);
        QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
        QApplication::sendEvent(&pane, &paste);
        FinishPainting(pane);
    }
    if (pane.Text().size() != text.size())
        state.SkipWithError("the typing pane does not hold the pasted text");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(PasteIntoRealtimePane)
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(16000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A burst of 96,000 style signals after a line of text, in chunks of 64 KiB (as the program reads
// them from a fast peer) or 1 KiB: every signal switches the style, writes its notice into the
// transcript and is answered; the transcript stays within its limit.
void StyleSignalBurstAfterText(benchmark::State& state)
{
    TWindow window;
    std::string burst(96000, '\0');
    for (std::size_t i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<char>(0xFA + (i + 1) % 3);
    const std::size_t chunk = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        window.Rig->Tab->ClearTranscript();
        window.Rig->Owner.Engine.ProcessIncoming("hello\r");
        QApplication::processEvents();
        state.ResumeTiming();
        for (std::size_t at = 0; at < burst.size(); at += chunk) {
            window.Rig->Owner.Engine.ProcessIncoming(std::string_view(burst).substr(at, chunk));
            QApplication::processEvents();
        }
        FinishPainting(*window.Rig->Tab->Controls().Transcript);
    }
    if (window.Rig->Tab->Controls().Transcript->Text().size()
        > TConversationTab::MaxTranscriptChars)
        state.SkipWithError("transcript over its limit");
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(burst.size()));
}
BENCHMARK(StyleSignalBurstAfterText)
    ->Arg(64 << 10)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// What a crowd of callers costs the window: a thousand tabs made in the shown chat window with
// the built-in skin, each going through what an incoming call does to its tab (the status line,
// the caller's address, its name), with the event loop running in between as it does while the
// calls come in; then the window left to settle.
void ThousandCallersTabs(benchmark::State& state)
{
    TSkinData skin(skin::LoadSkin({}, skin::BuiltinSkinPackage()));
    TFakeTickSource ticks { 100000 };
    TChatForm form;
    form.show();
    QApplication::processEvents();
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::vector<std::unique_ptr<quillet::testing::TFakeOwner>> owners;
        std::vector<std::unique_ptr<TConversationTab>> tabs;
        for (int i = 0; i < count; ++i) {
            auto owner = std::make_unique<quillet::testing::TFakeOwner>(ticks, "Bob");
            owner->Incoming = true;
            auto tab = std::make_unique<TConversationTab>(
                form, *owner, "Bob", &skin, ticks, TConversationTabHooks {});
            owner->Relay.SetTarget(tab.get());
            tab->WriteStatusLine("Connected");
            tab->ClearTranscript();
            const std::string port = std::to_string(40000 + i);
            tab->ShowPeerAddress("127.0.0.1", port);
            tab->ShowConnectionInfo("IP: 127.0.0.1 -- PORT: " + port);
            tab->RefreshControls();
            owner->Engine.ProcessIncoming("Caller" + std::to_string(i) + "\r\n");
            owners.push_back(std::move(owner));
            tabs.push_back(std::move(tab));
            if (i % 20 == 19)
                QApplication::processEvents();
        }
        QApplication::processEvents();
        state.PauseTiming();
        tabs.clear();
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(ThousandCallersTabs)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
