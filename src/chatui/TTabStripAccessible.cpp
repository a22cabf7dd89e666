#include "chatui/TTabStripAccessible.h"

#include "chatui/TTabStrip.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <QWindow>

namespace quillet {
namespace {

// One tab of the strip. It holds the strip weakly: a screen reader may keep asking about a tab
// after its window is gone.
class TTabAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TTabAccessible(TTabStrip& strip, std::uint64_t key)
        : Strip(&strip)
        , Key(key)
    {
    }

    std::uint64_t TabKey() const { return Key; }
    int Index() const { return Strip != nullptr ? Strip->IndexOfKey(Key) : -1; }

    bool isValid() const override { return Index() >= 0; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override
    {
        return Strip != nullptr ? Strip->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override
    {
        return Strip != nullptr ? QAccessible::queryAccessibleInterface(Strip.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    void setText(QAccessible::Text, const QString&) override { }

    QString text(QAccessible::Text kind) const override
    {
        const int index = Index();
        if (index < 0)
            return {};
        switch (kind) {
        case QAccessible::Name:
            return Strip->Caption(index);
        case QAccessible::Description: {
            // The tool tip says who and where; the greyed look of an ended tab is said in words.
            QStringList lines;
            if (const QString tip = Strip->ToolTip(index); !tip.isEmpty())
                lines.append(tip);
            if (Strip->Ended(index))
                lines.append(QStringLiteral("The conversation has ended"));
            return lines.join(QLatin1Char('\n'));
        }
        default:
            return {};
        }
    }

    QRect rect() const override
    {
        const int index = Index();
        if (index < 0)
            return {};
        const QRect local = Strip->TabRect(index);
        return { Strip->mapToGlobal(local.topLeft()), local.size() };
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        const int index = Index();
        if (index < 0) {
            state.invalid = true;
            return state;
        }
        state.selectable = true;
        state.selected = index == Strip->CurrentIndex();
        if (!Strip->isVisible())
            state.invisible = true;
        // A crowd's rows that do not fit are scrolled out of view.
        else if (!Strip->rect().intersects(Strip->TabRect(index)))
            state.offscreen = true;
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    QStringList actionNames() const override { return { pressAction() }; }
    void doAction(const QString& name) override
    {
        if (const int index = Index(); index >= 0 && name == pressAction())
            Strip->ChooseTab(index);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<TTabStrip> Strip;
    std::uint64_t Key;
};

} // namespace

TTabStripAccessible::TTabStripAccessible(TTabStrip& strip)
    : QAccessibleWidget(&strip, QAccessible::PageTabList)
{
}

TTabStripAccessible::~TTabStripAccessible()
{
    for (const auto& [key, id] : Tabs)
        QAccessible::deleteAccessibleInterface(id);
}

TTabStrip& TTabStripAccessible::Strip() const
{
    return *static_cast<TTabStrip*>(widget());
}

int TTabStripAccessible::childCount() const
{
    return Strip().Count();
}

QAccessibleInterface* TTabStripAccessible::TabInterface(int index) const
{
    if (index < 0 || index >= Strip().Count())
        return nullptr;
    const std::uint64_t key = Strip().TabKey(index);
    if (const auto found = Tabs.find(key); found != Tabs.end())
        return QAccessible::accessibleInterface(found->second);
    auto* tab = new TTabAccessible(Strip(), key);
    Tabs.emplace(key, QAccessible::registerAccessibleInterface(tab));
    return tab;
}

QAccessibleInterface* TTabStripAccessible::child(int index) const
{
    return TabInterface(index);
}

int TTabStripAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const auto* tab = dynamic_cast<const TTabAccessible*>(child);
    return tab != nullptr ? Strip().IndexOfKey(tab->TabKey()) : -1;
}

QAccessibleInterface* TTabStripAccessible::childAt(int x, int y) const
{
    return TabInterface(Strip().TabAt(Strip().mapFromGlobal(QPoint(x, y))));
}

void TTabStripAccessible::Forget(std::uint64_t key)
{
    if (const auto found = Tabs.find(key); found != Tabs.end()) {
        const QAccessible::Id id = found->second;
        Tabs.erase(found);
        QAccessible::deleteAccessibleInterface(id);
    }
}

TTabStripAccessible* TTabStripAccessible::Of(TTabStrip& strip)
{
    if (!QAccessible::isActive())
        return nullptr;
    return dynamic_cast<TTabStripAccessible*>(QAccessible::queryAccessibleInterface(&strip));
}

void TTabStripAccessible::TabAdded(TTabStrip& strip, int index)
{
    if (TTabStripAccessible* self = Of(strip)) {
        if (QAccessibleInterface* tab = self->TabInterface(index)) {
            QAccessibleEvent event(tab, QAccessible::ObjectCreated);
            QAccessible::updateAccessibility(&event);
        }
    }
}

void TTabStripAccessible::TabRemoving(TTabStrip& strip, int index)
{
    if (TTabStripAccessible* self = Of(strip)) {
        if (QAccessibleInterface* tab = self->TabInterface(index)) {
            QAccessibleEvent event(tab, QAccessible::ObjectDestroyed);
            QAccessible::updateAccessibility(&event);
            self->Forget(strip.TabKey(index));
        }
    }
}

void TTabStripAccessible::TabChanged(TTabStrip& strip, int index, QAccessible::Event change)
{
    if (TTabStripAccessible* self = Of(strip)) {
        if (QAccessibleInterface* tab = self->TabInterface(index)) {
            QAccessibleEvent event(tab, change);
            QAccessible::updateAccessibility(&event);
        }
    }
}

void TTabStripAccessible::CurrentChanged(TTabStrip& strip, int previous, int current)
{
    TTabStripAccessible* self = Of(strip);
    if (self == nullptr)
        return;
    // Each tab says whether it is selected now; the new one also tells its list that the
    // selection moved.
    if (QAccessibleInterface* tab = self->TabInterface(previous)) {
        QAccessibleEvent event(tab, QAccessible::SelectionRemove);
        QAccessible::updateAccessibility(&event);
    }
    if (QAccessibleInterface* tab = self->TabInterface(current)) {
        QAccessibleEvent event(tab, QAccessible::Selection);
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace quillet
