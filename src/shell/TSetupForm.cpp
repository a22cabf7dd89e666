#include "shell/TSetupForm.h"

#include "settings/Settings.h"
#include "shell/ScreenPlacement.h"
#include "shell/TOneLineValidator.h"
#include "shell/TQuilletApplication.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>
#include <stdexcept>

namespace quillet {

TSetupForm::TSetupForm(std::filesystem::path settingsPath, QWidget* parent)
    : TCentredDialog(parent)
    , SettingsPath(std::move(settingsPath))
{
    setWindowTitle(QStringLiteral("Setup"));
    QFont dialogFont(QStringLiteral("Tahoma"));
    dialogFont.setPixelSize(11);
    setFont(dialogFont);
    setFixedSize(306, 115);

    Label1 = new QLabel(QStringLiteral("Please type your name for the call identification:"), this);
    QFont labelFont(QStringLiteral("Tahoma"));
    labelFont.setPixelSize(13);
    Label1->setFont(labelFont);
    // The sentence is wider than the dialog in most substitute fonts, so it may take two lines.
    Label1->setWordWrap(true);
    Label1->setGeometry(10, 6, 286, 36);

    NameEdit = new QLineEdit(this);
    NameEdit->setAccessibleName(QStringLiteral("Your name"));
    NameEdit->setGeometry(10, 46, 286, 22);
    // A name has no length limit (the field's own default would cut it at 32,767 characters),
    // and it is one line: it is stored as one line of settings.ini and sent as one greeting.
    NameEdit->setMaxLength(std::numeric_limits<int>::max());
    NameEdit->setValidator(new TOneLineValidator(NameEdit));
    NameEdit->installEventFilter(this);

    NameOkButton = new QPushButton(QStringLiteral("Ok"), this);
    NameOkButton->setGeometry(115, 80, 75, 25);
    // Enter is handled by the field itself; the button must not be the dialog's default, or a
    // second Ok would run for the same key.
    NameOkButton->setAutoDefault(false);
    QObject::connect(NameOkButton, &QPushButton::clicked, this,
        [this] { TQuilletApplication::RunHandler([this] { NameOkButtonClick(); }); });

    setTabOrder(NameEdit, NameOkButton);
    FormCreate();
}

void TSetupForm::FormCreate()
{
    NameEdit->setText(QString::fromStdString(settings::OwnName(SettingsPath)));
}

void TSetupForm::FormShow()
{
    raise();
    activateWindow();
    NameEdit->setFocus();
}

bool TSetupForm::NameEditKeyPress(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    TQuilletApplication::RunHandler([this] { NameOkButtonClick(); });
    return true;
}

void TSetupForm::NameOkButtonClick()
{
    if (NameEdit->text().isEmpty()) {
        NameEdit->setFocus();
        return;
    }
    if (!settings::WriteOwnName(SettingsPath, NameEdit->text().toStdString()))
        throw std::runtime_error(settings::WriteFailureText(SettingsPath));
    accept();
}

bool TSetupForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == NameEdit && event->type() == QEvent::KeyPress
        && NameEditKeyPress(static_cast<QKeyEvent*>(event)->key())) {
        event->accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quillet
