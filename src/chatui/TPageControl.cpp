#include "chatui/TPageControl.h"

#include "chatui/TTabSheet.h"
#include "chatui/TTabStrip.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

#include <algorithm>

namespace quillet {
namespace {

// Pages sit this far inside the frame drawn around them.
constexpr int PageInset = 4;

} // namespace

TPageControl::TPageControl(QWidget* parent)
    : QWidget(parent)
    , TabStrip(new TTabStrip(this))
    , Stack(new QWidget(this))
{
    connect(TabStrip, &TTabStrip::TabChosen, this, [this](int index) {
        ShowIndex(index);
        emit Change();
    });
    // The keyboard follows a click on a tab, also from elsewhere on the page shown: the page
    // passes it on to where it belongs (a conversation's typing pane, its focus proxy).
    connect(TabStrip, &TTabStrip::TabClicked, this, [this](int index) {
        if (QWidget* page = Page(index))
            page->setFocus(Qt::MouseFocusReason);
    });
    // A tab's menu holds what its page offers (the page's actions).
    connect(TabStrip, &TTabStrip::TabMenuRequested, this, [this](int index, const QPoint& at) {
        if (QWidget* page = Page(index); page != nullptr && !page->actions().isEmpty())
            QMenu::exec(page->actions(), at, nullptr, this);
    });
    // One watcher for all pages: one per page would make every focus change cost as much as
    // there are conversations.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        QWidget* entered = PageOf(now);
        if (auto* sheet = qobject_cast<TTabSheet*>(entered);
            sheet != nullptr && entered != PageOf(old))
            sheet->NotifyEntered();
    });
    LayoutChildren();
}

TPageControl::~TPageControl()
{
    // Pages die with the stack after this body has run; their destroyed signals must not reach
    // a control that is already half torn down.
    for (const TPage& page : Pages)
        disconnect(page.Object, nullptr, this, nullptr);
}

QWidget* TPageControl::Page(int index) const
{
    if (index < 0 || index >= PageCount())
        return nullptr;
    return Pages[static_cast<std::size_t>(index)].Widget;
}

QWidget* TPageControl::PageOf(QWidget* widget) const
{
    // Pages are the stack's children: walk up from the widget to the one whose parent it is.
    for (QWidget* w = widget; w != nullptr && !w->isWindow(); w = w->parentWidget()) {
        if (w->parentWidget() == Stack)
            return w;
    }
    return nullptr;
}

int TPageControl::IndexOf(const QWidget* page) const
{
    for (std::size_t i = 0; i < Pages.size(); ++i) {
        if (Pages[i].Widget == page)
            return static_cast<int>(i);
    }
    return -1;
}

void TPageControl::AddPage(QWidget* page, const QString& caption)
{
    if (page == nullptr || IndexOf(page) >= 0)
        return;
    Pages.push_back(TPage { page, page });
    connect(page, &QObject::destroyed, this, &TPageControl::PageDestroyed);
    page->setParent(Stack);
    page->hide();
    // A page that is not shown still gets its real size, so that its owner can lay it out
    // before the user first looks at it.
    page->setGeometry(Stack->rect());
    TabStrip->AddTab(caption);
    ShowIndex(TabStrip->CurrentIndex());
}

void TPageControl::RemovePage(QWidget* page)
{
    const int index = IndexOf(page);
    if (index < 0)
        return;
    disconnect(page, &QObject::destroyed, this, &TPageControl::PageDestroyed);
    page->hide();
    if (Shown == page)
        Shown = nullptr;
    Forget(index);
}

void TPageControl::PageDestroyed(QObject* object)
{
    for (std::size_t i = 0; i < Pages.size(); ++i) {
        if (Pages[i].Object == object) {
            if (Shown == Pages[i].Widget)
                Shown = nullptr;
            Forget(static_cast<int>(i));
            return;
        }
    }
}

void TPageControl::Forget(int index)
{
    Pages.erase(Pages.begin() + index);
    TabStrip->RemoveTab(index);
    ShowIndex(TabStrip->CurrentIndex());
}

QWidget* TPageControl::ActivePage() const
{
    return Page(TabStrip->CurrentIndex());
}

void TPageControl::SetActivePage(QWidget* page)
{
    const int index = IndexOf(page);
    if (index < 0)
        return;
    TabStrip->SetCurrentIndex(index);
    ShowIndex(index);
}

void TPageControl::ChoosePage(int index)
{
    QWidget* page = Page(index);
    if (page == nullptr)
        return;
    if (index != TabStrip->CurrentIndex()) {
        TabStrip->SetCurrentIndex(index);
        ShowIndex(index);
        emit Change();
    }
    // The page passes the keyboard on (a conversation's to its typing pane, its focus proxy);
    // focus coming in from elsewhere is what tells the sheet it was entered.
    if (PageOf(QApplication::focusWidget()) != page)
        page->setFocus(Qt::ShortcutFocusReason);
}

void TPageControl::ChooseNeighbour(int step)
{
    const int count = PageCount();
    if (count == 0)
        return;
    ChoosePage(((TabStrip->CurrentIndex() + step) % count + count) % count);
}

void TPageControl::ShowIndex(int index)
{
    QWidget* page = Page(index);
    if (page == nullptr)
        return;
    page->setGeometry(Stack->rect());
    // The pages are shown and hidden here rather than by a stacked layout: switching its page
    // turns updates off and on for the whole stack, which walks every control of every page, so
    // with many conversations adding or removing one would cost as much as there are.
    if (Shown != page) {
        if (Shown != nullptr)
            Shown->hide();
        Shown = page;
        page->show();
    }
    update();
}

QString TPageControl::PageCaption(const QWidget* page) const
{
    return TabStrip->Caption(IndexOf(page));
}

void TPageControl::SetPageCaption(const QWidget* page, const QString& caption)
{
    TabStrip->SetCaption(IndexOf(page), caption);
}

bool TPageControl::PageHighlighted(const QWidget* page) const
{
    return TabStrip->Highlighted(IndexOf(page));
}

void TPageControl::SetPageHighlighted(const QWidget* page, bool highlighted)
{
    TabStrip->SetHighlighted(IndexOf(page), highlighted);
}

QString TPageControl::PageToolTip(const QWidget* page) const
{
    return TabStrip->ToolTip(IndexOf(page));
}

void TPageControl::SetPageToolTip(const QWidget* page, const QString& text)
{
    TabStrip->SetToolTip(IndexOf(page), text);
}

bool TPageControl::PageEnded(const QWidget* page) const
{
    return TabStrip->Ended(IndexOf(page));
}

void TPageControl::SetPageEnded(const QWidget* page, bool ended)
{
    TabStrip->SetEnded(IndexOf(page), ended);
}

QRect TPageControl::PageArea() const
{
    return Stack->geometry();
}

QSize TPageControl::minimumSizeHint() const
{
    QSize pages(0, 0);
    for (const TPage& page : Pages)
        pages = pages.expandedTo(page.Widget->minimumSize());
    const int overlap = style()->pixelMetric(QStyle::PM_TabBarBaseOverlap, nullptr, this);
    const int width = std::max(pages.width() + 2 * PageInset, TabStrip->minimumSizeHint().width());
    const int strip = TabStrip->heightForWidth(std::max(width, this->width()));
    return { width, strip - overlap + pages.height() + 2 * PageInset };
}

QRect TPageControl::PaneRect() const
{
    // The strip overlaps the pane's top edge by as much as the style asks: the current tab is
    // drawn over that edge and opens into the pane.
    const int overlap = style()->pixelMetric(QStyle::PM_TabBarBaseOverlap, nullptr, this);
    const int top = TabStrip->geometry().bottom() + 1 - overlap;
    return { 0, top, width(), height() - top };
}

void TPageControl::LayoutChildren()
{
    const int stripHeight = TabStrip->heightForWidth(width());
    TabStrip->setGeometry(0, 0, width(), stripHeight);
    const QRect frame = PaneRect();
    Stack->setGeometry(frame.adjusted(PageInset, PageInset, -PageInset, -PageInset));
    // Only the page shown is fitted now (a new row of tabs would otherwise lay out every
    // conversation's page); the others are fitted when they are shown.
    if (Shown != nullptr)
        Shown->setGeometry(Stack->rect());
}

bool TPageControl::event(QEvent* event)
{
    // The strip asks for a new height when tabs come, go or change their captions; another
    // style can change the overlap.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::StyleChange) {
        LayoutChildren();
        // Another row of tabs needs room of its own.
        updateGeometry();
    }
    return QWidget::event(event);
}

void TPageControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutChildren();
}

void TPageControl::paintEvent(QPaintEvent*)
{
    // The panel the pages lie on, drawn by the style as a tab widget's pane.
    QPainter painter(this);
    QStyleOptionTabWidgetFrame option;
    option.initFrom(this);
    option.rect = PaneRect();
    option.shape = QTabBar::RoundedNorth;
    option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    option.tabBarSize = TabStrip->size();
    option.tabBarRect = TabStrip->geometry();
    option.selectedTabRect
        = TabStrip->TabRect(TabStrip->CurrentIndex()).translated(TabStrip->pos());
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &option, &painter, this);
}

} // namespace quillet
