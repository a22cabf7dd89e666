#pragma once

#include <QString>
#include <QStyleOptionTab>
#include <QWidget>

#include <cstdint>
#include <vector>

namespace quillet {

// The row of tabs above the pages of the chat window. Unlike a one-row tab bar it does not
// scroll sideways: tabs that do not fit on a row wrap onto a further row, so with many
// conversations every tab stays visible and clickable. Only when the rows would take more than
// MaxShareOfScreen of the screen's height (a crowd of callers) does the strip stop growing: it
// then shows as many rows as fit there, always the current tab's among them, and the mouse
// wheel brings the others into view. Otherwise the window grew past the screen, its typing pane
// and buttons out of reach. A tab can be highlighted (painted in the highlight colour) to ask
// for the user's attention, independently of which tab is current.
//
// Tabs are painted by the widget style as tab bar tabs, so they look like the rest of the
// program whatever the style. A highlighted tab goes to the style as an "on" tab with the
// highlight colours in its palette: every style shows the colours, and a style that knows the
// convention (the skin's) can draw it its own way.
//
// Screen readers see a page tab list (TTabStripAccessible); every change of a tab is told to it.
class TTabStrip final : public QWidget {
    Q_OBJECT

public:
    explicit TTabStrip(QWidget* parent = nullptr);

    int Count() const { return static_cast<int>(Tabs.size()); }
    // Appends a tab and returns its index. The first tab becomes the current one.
    int AddTab(const QString& caption);
    // The tab after the removed one (or the one before, when it was the last) becomes current
    // if the removed tab was current.
    void RemoveTab(int index);

    QString Caption(int index) const;
    void SetCaption(int index, const QString& caption);
    bool Highlighted(int index) const;
    void SetHighlighted(int index, bool highlighted);
    // Shown while the pointer rests on the tab.
    QString ToolTip(int index) const;
    void SetToolTip(int index, const QString& text);
    // An ended tab is drawn as a disabled one (greyed), and can still be chosen.
    bool Ended(int index) const;
    void SetEnded(int index, bool ended);

    // -1 when there is no tab. Setting it from the program emits nothing.
    int CurrentIndex() const { return Current; }
    void SetCurrentIndex(int index);
    // The user chose the tab, with a click or through a screen reader.
    void ChooseTab(int index);

    // A key that stays with a tab while others come and go (0 for no tab), and the tab that has
    // it (-1 for none).
    std::uint64_t TabKey(int index) const;
    int IndexOfKey(std::uint64_t key) const;

    // The part of the screen's available height the rows may take at most.
    static constexpr int MaxShareOfScreen = 4; // a quarter

    // The layout for the strip's present width.
    int RowCount() const;
    // The rows shown at once, and the first of them (0 unless the rows do not all fit).
    int VisibleRows() const;
    int FirstVisibleRow() const { return FirstRow; }
    // The place of a tab in the strip; a tab on a row scrolled out of view lies outside it.
    // How many times the layout was worked out so far (it costs as much as there are tabs).
    int LayoutsMade() const { return LayoutCount; }
    QRect TabRect(int index) const;
    int TabAt(const QPoint& pos) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The user chose another tab (a click, or a screen reader's action). Not emitted for changes
    // the program makes.
    void TabChosen(int index);
    // The user clicked a tab, the current one too (after TabChosen when it was another).
    void TabClicked(int index);
    // The user asked for the menu of a tab (a right click) at `globalPos`.
    void TabMenuRequested(int index, const QPoint& globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct TTab {
        QString Caption;
        bool Highlighted = false;
        QString ToolTip;
        bool Ended = false;
        // Increases with every tab added, so the tabs stay sorted by it.
        std::uint64_t Key = 0;
        // Measured once per caption and font: with many tabs, measuring every caption on each
        // layout made adding or removing a tab cost the square of the count.
        mutable int Width = -1;
    };
    struct TLayout {
        std::vector<QRect> Rects;
        int Rows = 0;
    };

    TLayout ComputeLayout(int width) const;
    int TabHeight() const;
    int NaturalTabWidth(int index) const;
    int TextPadding() const;
    // The layout has to be made anew; FinishLayout repaints what it moved and asks the parent
    // for a new height, once for every change made in one pass of the event loop.
    void Invalidate();
    void FinishLayout();
    void RepaintTab(int index);
    const TLayout& CurrentLayout() const;
    int MaxRows() const;
    // Scrolls by `rows`, within the rows there are.
    void ScrollRows(int rows);
    void ShowCurrentRow();
    void SetHovered(int index);
    QStyleOptionTab TabOption(int index) const;

    std::vector<TTab> Tabs;
    std::uint64_t NextKey = 1;
    int Current = -1;
    // The tab under the pointer, -1 for none.
    int Hovered = -1;
    mutable TLayout Cached;
    mutable int CachedWidth = -1;
    bool LayoutPosted = false;
    mutable int LayoutCount = 0;
    int FirstRow = 0;
    std::uint64_t ShownCurrent = 0; // the key of the current tab when its row was last shown
    std::vector<QRect> Shown; // the tabs' places before the first change of this pass
    bool ShownValid = false;
    bool RepaintAll = false; // a tab changed while the layout was waiting
};

} // namespace quillet
