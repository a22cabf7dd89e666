#pragma once

#include <QAccessible>
#include <QAccessibleWidget>

#include <cstdint>
#include <unordered_map>

namespace quillet {

class TTabStrip;

// What screen readers see of the chat window's tab strip: a page tab list with one page tab per
// conversation, named by its caption (the peer's name, or its address until the name arrives),
// described by its tool tip, selected while it is the current tab, and with one action that
// chooses it as a click does.
//
// The tabs are no widgets, so their interfaces are made here on demand and registered in the
// accessibility cache. Each stands for one tab by the tab's key, not by its place, so it keeps
// naming the same conversation while tabs before it come and go; the interface of a tab that
// is gone is no longer valid, and is deleted when the strip tells of the removal (or with this
// object).
class TTabStripAccessible final : public QAccessibleWidget {
public:
    explicit TTabStripAccessible(TTabStrip& strip);
    ~TTabStripAccessible() override;

    TTabStripAccessible(const TTabStripAccessible&) = delete;
    TTabStripAccessible& operator=(const TTabStripAccessible&) = delete;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

    // What the strip reports of its tabs. Each does nothing while no assistive technology
    // listens. TabRemoving comes while the tab is still there.
    static void TabAdded(TTabStrip& strip, int index);
    static void TabRemoving(TTabStrip& strip, int index);
    // `change` is QAccessible::NameChanged or QAccessible::DescriptionChanged.
    static void TabChanged(TTabStrip& strip, int index, QAccessible::Event change);
    // `previous` or `current` may be -1.
    static void CurrentChanged(TTabStrip& strip, int previous, int current);

private:
    TTabStrip& Strip() const;
    static TTabStripAccessible* Of(TTabStrip& strip);
    QAccessibleInterface* TabInterface(int index) const;
    void Forget(std::uint64_t key);

    // The interfaces made so far, by tab key.
    mutable std::unordered_map<std::uint64_t, QAccessible::Id> Tabs;
};

} // namespace quillet
