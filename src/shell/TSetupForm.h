#pragma once

#include "shell/TCentredDialog.h"

#include <filesystem>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quillet {

// The own-name dialog. It asks for the name under which the user's calls are identified and
// stores it as "User name" in section "Settings" of settings.ini.
//
// There is no cancel button and Esc does nothing: the dialog ends with a saved name ("Ok" or
// Enter, result Accepted) or with its close box (result Rejected, nothing written). The field is
// filled from the file once, at creation; afterwards it keeps whatever it last held, also text
// that was typed and never saved.
class TSetupForm : public TCentredDialog {
public:
    explicit TSetupForm(std::filesystem::path settingsPath, QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* NameEdit;
    QPushButton* NameOkButton;

    void FormCreate();
    void FormShow() override;
    // Enter in the field: the key goes no further, and "Ok" runs (a failure of it is shown in the
    // error box). True when the key was taken.
    bool NameEditKeyPress(int key);
    // Empty field: focus it and stay open. Otherwise write the name and close with Accepted. A
    // failed write throws with "Unable to write to <path>" and leaves the dialog open as it was.
    void NameOkButtonClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::filesystem::path SettingsPath;
};

} // namespace quillet
