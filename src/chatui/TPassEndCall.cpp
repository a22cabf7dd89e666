#include "chatui/TPassEndCall.h"

#include <QCoreApplication>
#include <QEvent>

namespace quillet {
namespace {

const QEvent::Type PassEndEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

TPassEndCall::TPassEndCall(std::function<void()> call, QObject* parent)
    : QObject(parent)
    , Call(std::move(call))
{
}

void TPassEndCall::Post()
{
    if (Pending)
        return;
    Pending = true;
    // Low priority, as the widgets' own repaint requests are posted.
    QCoreApplication::postEvent(this, new QEvent(PassEndEvent), Qt::LowEventPriority);
}

void TPassEndCall::customEvent(QEvent* event)
{
    if (event->type() != PassEndEvent)
        return;
    Pending = false;
    Call();
}

} // namespace quillet
