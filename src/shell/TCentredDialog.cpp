#include "shell/TCentredDialog.h"

#include "shell/ScreenPlacement.h"

#include <QKeyEvent>

namespace quillet {

TCentredDialog::TCentredDialog(QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
            | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , Placer([this] { CentreOnPrimaryScreen(*this); })
{
}

void TCentredDialog::setVisible(bool visible)
{
    // Centred before it appears, so that the window system places it by its frame.
    const bool appearing = visible && isHidden();
    if (appearing)
        Placer.BeforeShow(*this);
    else if (!visible)
        Placer.Hidden();
    QDialog::setVisible(visible);
    if (appearing) {
        Placer.AfterShowOrMove(*this);
        FormShow();
    }
}

void TCentredDialog::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    Placer.AfterShowOrMove(*this);
}

void TCentredDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace quillet
