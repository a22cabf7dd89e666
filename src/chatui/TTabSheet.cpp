#include "chatui/TTabSheet.h"

#include "chatui/TPageControl.h"

#include <QAccessible>
#include <QApplication>
#include <QPainter>

#include <utility>

namespace quillet {

TTabSheet::TTabSheet(TPageControl& owner)
    : QWidget(&owner)
    , Background(ButtonFace())
{
    hide();
}

QColor TTabSheet::ButtonFace()
{
    return QApplication::palette().color(QPalette::Button);
}

void TTabSheet::SetBackgroundColor(const QColor& color)
{
    if (color == Background)
        return;
    Background = color;
    update();
}

void TTabSheet::SetPageControl(TPageControl* control)
{
    if (control == Control)
        return;
    if (Control != nullptr)
        Control->RemovePage(this);
    Control = control;
    if (Control != nullptr) {
        Control->AddPage(this, CaptionText);
        Control->SetPageToolTip(this, ToolTipText);
        Control->SetPageEnded(this, EndedFlag);
    }
}

void TTabSheet::SetCaption(const QString& caption)
{
    // Screen readers name the conversation's panel as its tab, and are told only while one
    // listens: the event would make the panel's accessible interface at once.
    if (caption != std::exchange(CaptionText, caption) && QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    if (Control != nullptr)
        Control->SetPageCaption(this, caption);
}

void TTabSheet::SetTabToolTip(const QString& text)
{
    ToolTipText = text;
    if (Control != nullptr)
        Control->SetPageToolTip(this, text);
}

void TTabSheet::SetEnded(bool ended)
{
    EndedFlag = ended;
    if (Control != nullptr)
        Control->SetPageEnded(this, ended);
}

bool TTabSheet::Highlighted() const
{
    return Control != nullptr && Control->PageHighlighted(this);
}

void TTabSheet::SetHighlighted(bool highlighted)
{
    if (Control != nullptr)
        Control->SetPageHighlighted(this, highlighted);
}

void TTabSheet::paintEvent(QPaintEvent*)
{
    if (Background == ButtonFace())
        return;
    QPainter painter(this);
    painter.fillRect(rect(), Background);
}

void TTabSheet::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    emit MouseEntered();
}

void TTabSheet::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    emit Resized();
}

void TTabSheet::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit Showing();
}

} // namespace quillet
