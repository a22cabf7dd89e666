#pragma once

#include <QLabel>

#include <functional>

namespace quillet {

// A label used as a button or a link: it reports the mouse entering and leaving it and a click
// (a left press and release on it). Disabled labels receive no mouse input, so they report
// nothing.
class TLinkLabel : public QLabel {
public:
    explicit TLinkLabel(const QString& text, QWidget* parent = nullptr);

    std::function<void()> OnClick;
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;

    // The label's text colour for all of its states but the disabled one.
    void SetTextColor(const QColor& color);
    QColor TextColor() const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool Pressed = false;
};

} // namespace quillet
