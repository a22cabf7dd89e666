#pragma once

#include <QObject>

#include <functional>

namespace quillet {

// A call made once when the event loop has handled what is queued before it: Post() asks for it
// (again and again, it runs once), and it runs after every event of normal priority posted so
// far or meanwhile, where the repaints wait too. A pane's own changes are put through this so
// that text arriving for another conversation in the same pass is not held up behind them, and
// so that several changes of one pass cost one layout. Nothing runs once the owner is gone.
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
