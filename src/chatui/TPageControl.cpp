#include "chatui/TPageControl.h"

#include "chatui/TTabSheet.h"
#include "chatui/TTabStrip.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

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

QRect TPageControl::PageArea() const
{
    return Stack->geometry();
}

void TPageControl::LayoutChildren()
{
    const int stripHeight = TabStrip->heightForWidth(width());
    TabStrip->setGeometry(0, 0, width(), stripHeight);
    const QRect frame(0, stripHeight, width(), height() - stripHeight);
    Stack->setGeometry(frame.adjusted(PageInset, PageInset, -PageInset, -PageInset));
    // Only the page shown is fitted now (a new row of tabs would otherwise lay out every
    // conversation's page); the others are fitted when they are shown.
    if (Shown != nullptr)
        Shown->setGeometry(Stack->rect());
}

bool TPageControl::event(QEvent* event)
{
    // The strip asks for a new height when tabs come, go or change their captions.
    if (event->type() == QEvent::LayoutRequest)
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
    // The panel the pages lie on, in the button face colour, with a thin frame that the current
    // tab joins.
    QPainter painter(this);
    const int top = TabStrip->geometry().bottom() + 1;
    const QRect frame(0, top, width(), height() - top);
    painter.fillRect(frame, palette().color(QPalette::Button));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    // A current tab on the row next to the pages opens into them.
    const QRect tab = TabStrip->TabRect(TabStrip->CurrentIndex());
    if (tab.isValid() && tab.bottom() + 1 == top)
        painter.fillRect(QRect(tab.left() + 1, top, tab.width() - 2, 1),
            palette().color(QPalette::Button).lighter(104));
}

} // namespace quillet
