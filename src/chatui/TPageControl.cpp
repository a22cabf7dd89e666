#include "chatui/TPageControl.h"

#include "chatui/TTabStrip.h"

#include <QEvent>
#include <QPainter>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

namespace quillet {
namespace {

// Pages sit this far inside the frame drawn around them.
constexpr int PageInset = 4;

} // namespace

TPageControl::TPageControl(QWidget* parent)
    : QWidget(parent)
    , TabStrip(new TTabStrip(this))
    , Stack(new QStackedWidget(this))
{
    Stack->setFrameShape(QFrame::NoFrame);
    connect(TabStrip, &TTabStrip::TabChosen, this, [this](int index) {
        ShowIndex(index);
        emit Change();
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
    Pages.push_back(TPage{page, page});
    connect(page, &QObject::destroyed, this, &TPageControl::PageDestroyed);
    Stack->addWidget(page);
    // A page that is not shown still gets its real size, so that its owner can lay it out
    // before the user first looks at it.
    page->setGeometry(Stack->rect());
    TabStrip->AddTab(caption);
    ShowIndex(TabStrip->CurrentIndex());
    LayoutChildren();
}

void TPageControl::RemovePage(QWidget* page)
{
    const int index = IndexOf(page);
    if (index < 0)
        return;
    disconnect(page, &QObject::destroyed, this, &TPageControl::PageDestroyed);
    Stack->removeWidget(page);
    page->hide();
    Forget(index);
}

void TPageControl::PageDestroyed(QObject* object)
{
    for (std::size_t i = 0; i < Pages.size(); ++i) {
        if (Pages[i].Object == object) {
            // The stack has already dropped the widget as a child.
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
    LayoutChildren();
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

void TPageControl::ShowIndex(int index)
{
    QWidget* page = Page(index);
    if (page == nullptr)
        return;
    page->setGeometry(Stack->rect());
    Stack->setCurrentWidget(page);
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

QRect TPageControl::PageArea() const
{
    return Stack->geometry();
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
    for (const TPage& page : Pages)
        page.Widget->setGeometry(Stack->rect());
}

bool TPageControl::event(QEvent* event)
{
    // The strip asks for a new height when tabs come, go or change their captions; another
    // style can change the overlap.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::StyleChange)
        LayoutChildren();
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
