#include "shell/TLinkLabel.h"

#include <QMouseEvent>

namespace quillet {

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
}

void TLinkLabel::SetTextColor(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::Active, QPalette::WindowText, color);
    p.setColor(QPalette::Inactive, QPalette::WindowText, color);
    setPalette(p);
}

QColor TLinkLabel::TextColor() const
{
    return palette().color(QPalette::Active, QPalette::WindowText);
}

void TLinkLabel::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    if (OnMouseEnter)
        OnMouseEnter();
}

void TLinkLabel::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    if (OnMouseLeave)
        OnMouseLeave();
}

void TLinkLabel::mousePressEvent(QMouseEvent* event)
{
    Pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = Pressed && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint());
    Pressed = false;
    event->accept();
    if (click && OnClick)
        OnClick();
}

} // namespace quillet
