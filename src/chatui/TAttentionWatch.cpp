#include "chatui/TAttentionWatch.h"

#include "chatui/TPageControl.h"

#include <QGuiApplication>
#include <QWindow>

namespace quillet {

TAttentionWatch::TAttentionWatch(TPageControl& tabs, std::function<void()> look)
    : Tabs(tabs)
    , Look(std::move(look))
{
}

TAttentionWatch::~TAttentionWatch()
{
    Stop();
}

void TAttentionWatch::Watch(std::optional<TTick> blinkInMs)
{
    if (!Context) {
        Context = std::make_unique<QObject>();
        BlinkTimer = new QTimer(Context.get());
        BlinkTimer->setSingleShot(true);
        // A coarse timer may fire early, before the blink is due, and cost a second wake-up.
        BlinkTimer->setTimerType(Qt::PreciseTimer);
        QObject::connect(BlinkTimer, &QTimer::timeout, Context.get(), [this] { Look(); });
    }
    if (!Watching()) {
        WindowChanges = QObject::connect(
            qGuiApp, &QGuiApplication::focusWindowChanged, Context.get(), [this] { LookSoon(); });
        TabChanges
            = QObject::connect(&Tabs, &TPageControl::Change, Context.get(), [this] { LookSoon(); });
    }
    if (blinkInMs)
        BlinkTimer->start(static_cast<int>(*blinkInMs));
    else
        BlinkTimer->stop();
}

void TAttentionWatch::Stop()
{
    if (BlinkTimer != nullptr)
        BlinkTimer->stop();
    QObject::disconnect(WindowChanges);
    QObject::disconnect(TabChanges);
    WindowChanges = {};
    TabChanges = {};
}

void TAttentionWatch::LookSoon()
{
    QMetaObject::invokeMethod(
        Context.get(), [this] { Look(); }, Qt::QueuedConnection);
}

} // namespace quillet
