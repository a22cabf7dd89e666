#include "platform/qt/QtPromptService.h"

#include <QApplication>

namespace quillet {

namespace {

// The program title is the caption of plain messages and of the error box alike.
QString ProgramTitle()
{
    const QString name = QApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Quillet") : name;
}

const QString QuestionTitle = QStringLiteral("Yes or No?");
constexpr QMessageBox::StandardButtons QuestionButtons
    = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;

IPromptService::TAnswer AnswerOf(int button)
{
    switch (button) {
    case QMessageBox::Yes:
        return IPromptService::TAnswer::Yes;
    case QMessageBox::No:
        return IPromptService::TAnswer::No;
    default:
        return IPromptService::TAnswer::Cancel;
    }
}

QMessageBox::Icon NoticeIcon(IPromptService::TNotice kind)
{
    return kind == IPromptService::TNotice::Error ? QMessageBox::Critical : QMessageBox::NoIcon;
}

} // namespace

TQtPromptService::TQtPromptService()
    : Alive(std::make_shared<bool>(true))
{
}

TQtPromptService::~TQtPromptService()
{
    Alive.reset();
    delete Shown;
}

IPromptService::TAnswer TQtPromptService::AskYesNoCancel(const std::string& text)
{
    QMessageBox box(
        QMessageBox::Question, QuestionTitle, QString::fromStdString(text), QuestionButtons);
    // The close box and Esc answer Cancel, the one answer that never acts.
    box.setEscapeButton(QMessageBox::Cancel);
    return AnswerOf(box.exec());
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

void TQtPromptService::AskInBackground(
    const std::string& text, std::function<void(TAnswer)> answered)
{
    Waiting.push_back({ QMessageBox::Question, QuestionTitle, QString::fromStdString(text),
        QuestionButtons, std::move(answered) });
    ShowNext();
}

void TQtPromptService::ShowInBackground(const std::string& text, TNotice kind)
{
    Waiting.push_back({ NoticeIcon(kind), ProgramTitle(), QString::fromStdString(text),
        QMessageBox::Ok, nullptr });
    ShowNext();
}

void TQtPromptService::ShowNext()
{
    if (Busy || Waiting.empty())
        return;
    TBackgroundItem item = std::move(Waiting.front());
    Waiting.pop_front();
    auto* box = new QMessageBox(item.Icon, item.Title, item.Text, item.Buttons);
    box->setEscapeButton(
        item.Buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::Ok);
    box->setWindowModality(Qt::NonModal);
    // Mapped without activation: the window manager neither focuses it nor puts it in front of
    // the window the user types in; the attention request asks for the user instead.
    box->setAttribute(Qt::WA_ShowWithoutActivating, true);
    ShownAnswered = std::move(item.Answered);
    Shown = box;
    Busy = true;
    QObject::connect(box, &QMessageBox::finished, box,
        [this, alive = std::weak_ptr<bool>(Alive), box](int button) {
            box->deleteLater();
            if (!alive.expired() && Shown == box)
                Finished(button);
        });
    box->show();
    QApplication::alert(box, 0);
}

void TQtPromptService::Finished(int button)
{
    // The next box comes only once the answer has been acted on, which may take a dialog of its
    // own: background windows never stack.
    Shown = nullptr;
    std::function<void(TAnswer)> answered = std::move(ShownAnswered);
    ShownAnswered = nullptr;
    if (answered)
        answered(AnswerOf(button));
    Busy = false;
    ShowNext();
}

} // namespace quillet
