#pragma once

#include "platform/TickSource.h"

#include <QMetaObject>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace quillet {

class TPageControl;

// What keeps a tab that is lit for attention up to date, on the main thread and only while it
// is lit: a timer for its next blink, and a look each time the user may have come to see it (a
// window became the active one, or a tab was picked). Between those a lit tab costs nothing; an
// unlit one is not watched at all, and one that was never lit has not even the timer (a crowd's
// tabs are built by the thousand).
class TAttentionWatch {
public:
    // `look` runs on each of those occasions; it may Watch or Stop.
    TAttentionWatch(TPageControl& tabs, std::function<void()> look);
    ~TAttentionWatch();

    TAttentionWatch(const TAttentionWatch&) = delete;
    TAttentionWatch& operator=(const TAttentionWatch&) = delete;

    // Watches from now on; the next blink is due in `blinkInMs` (none: no more blinking).
    void Watch(std::optional<TTick> blinkInMs);
    void Stop();
    bool Watching() const { return static_cast<bool>(WindowChanges); }

private:
    // A look once Qt has settled which window is active and which tab is shown.
    void LookSoon();

    TPageControl& Tabs;
    const std::function<void()> Look;
    // Made at the first Watch. The context of every connection and queued look: they end with
    // the watch. The timer is its child.
    std::unique_ptr<QObject> Context;
    QTimer* BlinkTimer = nullptr;
    QMetaObject::Connection WindowChanges;
    QMetaObject::Connection TabChanges;
};

} // namespace quillet
