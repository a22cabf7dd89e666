#pragma once

#include "shell/TWindowPlacer.h"

#include <QDialog>

namespace quillet {

// A fixed dialog of the program (caption and close box only, no resizing): centred on the primary
// screen each time it appears, brought forward by FormShow, and without a cancel button, so Esc
// closes nothing (the close box and the dialog's own buttons do).
class TCentredDialog : public QDialog {
public:
    explicit TCentredDialog(QWidget* parent = nullptr);

    // Runs each time the dialog goes from hidden to visible, after it has been placed.
    virtual void FormShow() = 0;

    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    TWindowPlacer Placer;
};

} // namespace quillet
