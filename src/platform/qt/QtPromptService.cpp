#include "platform/qt/QtPromptService.h"

#include <QApplication>
#include <QMessageBox>

namespace quillet {

namespace {

// The program title is the caption of plain messages and of the error box alike.
QString ProgramTitle()
{
    const QString name = QApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Quillet") : name;
}

} // namespace

IPromptService::TAnswer TQtPromptService::AskYesNoCancel(const std::string& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Yes or No?"),
        QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    // The close box and Esc answer Cancel, the one answer that never acts.
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return TAnswer::Yes;
    case QMessageBox::No:
        return TAnswer::No;
    default:
        return TAnswer::Cancel;
    }
}

void TQtPromptService::ShowMessage(const std::string& text)
{
    QMessageBox box(
        QMessageBox::NoIcon, ProgramTitle(), QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

void TQtPromptService::ShowError(const std::string& text)
{
    QMessageBox box(
        QMessageBox::Critical, ProgramTitle(), QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

} // namespace quillet
