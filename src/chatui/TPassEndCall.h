#pragma once

#include <QObject>

#include <functional>

namespace quillet {

// A call made when the event loop has handled the events of normal priority queued when it comes
// to this one: it is posted at the low priority of the widgets' own repaint requests. Post() asks
// for it; asked again before it ran, it runs once. A pane's own changes go through it, so that
// text arriving for another conversation in the same pass is not held up behind them and several
// changes of one pass cost one layout. Nothing runs once the owner is gone.
class TPassEndCall final : public QObject {
public:
    explicit TPassEndCall(std::function<void()> call, QObject* parent = nullptr);

    void Post();
    bool Posted() const { return Pending; }

protected:
    void customEvent(QEvent* event) override;

private:
    std::function<void()> Call;
    bool Pending = false;
};

} // namespace quillet
