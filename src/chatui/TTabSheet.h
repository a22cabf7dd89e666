#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace quillet {

class TPageControl;

// One page of the chat window's tab control: the ground a conversation's controls stand on.
// Besides being a page, it reports the moments its conversation reacts to: the keyboard focus
// entering it from outside, the mouse entering it, a change of its size, and its being shown.
class TTabSheet final : public QWidget {
    Q_OBJECT

public:
    // Owned by `owner` from the start; it becomes one of its pages with SetPageControl.
    explicit TTabSheet(TPageControl& owner);

    // The button face colour unless set otherwise. Only another colour is painted by the sheet
    // itself; the button face is what the page control already shows beneath it.
    QColor BackgroundColor() const { return Background; }
    void SetBackgroundColor(const QColor& color);
    static QColor ButtonFace();

    TPageControl* PageControl() const { return Control; }
    // Puts the sheet into `control` as its last page (nullptr takes it out).
    void SetPageControl(TPageControl* control);

    QString Caption() const { return CaptionText; }
    void SetCaption(const QString& caption);
    bool Highlighted() const;
    void SetHighlighted(bool highlighted);
    // The tab's tool tip, and whether it is drawn as ended; kept like the caption, so that they
    // go with the sheet into a page control.
    QString TabToolTip() const { return ToolTipText; }
    void SetTabToolTip(const QString& text);
    bool Ended() const { return EndedFlag; }
    void SetEnded(bool ended);

    // The keyboard focus has come to the sheet or a control on it from elsewhere (moving between
    // its own controls is no entry); its page control, which watches the focus, tells it.
    void NotifyEntered() { emit Entered(); }

signals:
    void Entered();
    void MouseEntered();
    void Resized();
    // The sheet is about to be shown: controls made now are shown with it.
    void Showing();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QColor Background;
    TPageControl* Control = nullptr;
    QString CaptionText;
    QString ToolTipText;
    bool EndedFlag = false;
};

} // namespace quillet
