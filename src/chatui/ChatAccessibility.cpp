#include "chatui/ChatAccessibility.h"

#include "chatui/TChatForm.h"
#include "chatui/TTabSheet.h"
#include "chatui/TTabStrip.h"
#include "chatui/TTabStripAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QPlainTextEdit>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <mutex>

namespace quillet {
namespace {

// Dynamic properties of a pane: its text changes are told only as announcements, and one is
// being told now.
constexpr char LeftToAnnouncements[] = "quilletLeftToAnnouncements";
constexpr char Announcing[] = "quilletAnnouncing";

// A conversation's page, a panel named as its tab. The keyboard given to it goes on to its
// typing pane (its focus proxy), which says so itself: the panel reads as focused only when it
// has the keyboard itself.
class TPageAccessible final : public QAccessibleWidget {
public:
    explicit TPageAccessible(TTabSheet& sheet)
        : QAccessibleWidget(&sheet, QAccessible::Pane)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name)
            return static_cast<const TTabSheet*>(widget())->Caption();
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.focused = QApplication::focusWidget() == widget();
        return state;
    }
};

QAccessibleInterface* ChatAccessibleFactory(const QString&, QObject* object)
{
    // The window would otherwise be a plain grouping (a filler), which a screen reader does not
    // announce as a window when it comes up or takes the keyboard.
    if (auto* form = qobject_cast<TChatForm*>(object))
        return new QAccessibleWidget(form, QAccessible::Window);
    if (auto* strip = qobject_cast<TTabStrip*>(object))
        return new TTabStripAccessible(*strip);
    // Entering a conversation's controls, a screen reader names the panel they are on.
    if (auto* sheet = qobject_cast<TTabSheet*>(object))
        return new TPageAccessible(*sheet);
    return nullptr;
}

bool IsTextChange(const QAccessibleEvent& event)
{
    switch (event.type()) {
    case QAccessible::TextInserted:
    case QAccessible::TextRemoved:
    case QAccessible::TextUpdated:
        return true;
    default:
        return false;
    }
}

// Sits between the widgets and the platform's accessibility bridge. The text editor reports
// every change of its text as it is made, from inside the editor, with no way to turn that off
// for one editor; here such reports of the panes left to announcements are dropped.
void FilterUpdate(QAccessibleEvent* event)
{
    if (QAccessible::isActive() && IsTextChange(*event)) {
        const QObject* object = event->object();
        if (object != nullptr && object->property(LeftToAnnouncements).toBool()
            && !object->property(Announcing).toBool())
            return;
    }
    if (QPlatformIntegration* integration = QGuiApplicationPrivate::platformIntegration()) {
        if (QPlatformAccessibility* bridge = integration->accessibility())
            bridge->notifyAccessibilityUpdate(event);
    }
}

} // namespace

void InstallChatAccessibility()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        QAccessible::installFactory(&ChatAccessibleFactory);
        QAccessible::installUpdateHandler(&FilterUpdate);
    });
}

void LeaveTextChangesToAnnouncements(QPlainTextEdit& pane)
{
    InstallChatAccessibility();
    pane.setProperty(LeftToAnnouncements, true);
}

void Announce(QAccessibleEvent& event)
{
    // Nobody to tell: text arrives once per pass of the event loop, and marking the pane for
    // each would be work for nothing.
    if (!QAccessible::isActive())
        return;
    QObject* object = event.object();
    if (object != nullptr)
        object->setProperty(Announcing, true);
    QAccessible::updateAccessibility(&event);
    if (object != nullptr)
        object->setProperty(Announcing, false);
}

} // namespace quillet
