#pragma once

#include <QString>
#include <QWidget>

#include <vector>

namespace quillet {

class TTabStrip;

// The chat window's tab control: a wrapping tab strip over a stack of pages, one page per
// conversation, of which one is visible. Pages are added by their owners and leave the control when
// they are removed or destroyed. The page control shows one page; which page the user counts as
// seen is the chat window's business, so Change fires only when the user picks a tab, never when
// the program adds or removes a page. A right click on a tab opens a menu of its page's actions.
class TPageControl final : public QWidget {
    Q_OBJECT

public:
    explicit TPageControl(QWidget* parent = nullptr);
    ~TPageControl() override;

    int PageCount() const { return static_cast<int>(Pages.size()); }
    QWidget* Page(int index) const;
    int IndexOf(const QWidget* page) const;

    // Appends `page` (reparented into the control). The first page becomes the one shown. A page
    // gets the control's page size when it is added and whenever it is shown; pages not shown
    // are not resized meanwhile.
    void AddPage(QWidget* page, const QString& caption);
    // Takes `page` out without destroying it; it stays a hidden child of the control.
    void RemovePage(QWidget* page);

    // The page shown; nullptr without pages. Setting it from the program emits no Change.
    QWidget* ActivePage() const;
    void SetActivePage(QWidget* page);

    // The user picks a page from the keyboard: it is shown as a click on its tab shows it (Change
    // fires), and the keyboard goes into it unless it is there already. Out of range: nothing.
    void ChoosePage(int index);
    // The page `step` places after the one shown (before it when negative), wrapping at the ends.
    void ChooseNeighbour(int step);

    QString PageCaption(const QWidget* page) const;
    void SetPageCaption(const QWidget* page, const QString& caption);
    bool PageHighlighted(const QWidget* page) const;
    void SetPageHighlighted(const QWidget* page, bool highlighted);
    QString PageToolTip(const QWidget* page) const;
    void SetPageToolTip(const QWidget* page, const QString& text);
    bool PageEnded(const QWidget* page) const;
    void SetPageEnded(const QWidget* page, bool ended);

    TTabStrip& Strip() const { return *TabStrip; }
    // The rectangle pages occupy, in the control's coordinates.
    QRect PageArea() const;

    // Room for the tab strip at its present width and for the largest of the pages' minimum
    // sizes. A page that changes its minimum size calls updateGeometry on the control.
    QSize minimumSizeHint() const override;

signals:
    // The user picked another tab; ActivePage is the page now shown.
    void Change();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct TPage {
        QWidget* Widget;
        // Kept separately so that a page can still be recognised from its destroyed signal,
        // when its widget part is already gone.
        const QObject* Object;
    };

    // The page `widget` lies on (itself, or a control on it); nullptr when none.
    QWidget* PageOf(QWidget* widget) const;
    void PageDestroyed(QObject* object);
    void Forget(int index);
    void ShowIndex(int index);
    void LayoutChildren();
    QRect PaneRect() const;

    TTabStrip* TabStrip;
    QWidget* Stack; // the area the pages lie in, their parent
    QWidget* Shown = nullptr; // the one page visible
    std::vector<TPage> Pages;
};

} // namespace quillet
