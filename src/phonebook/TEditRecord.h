#pragma once

#include "net/ChatStyle.h"
#include "phonebook/ContactRules.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quillet {

// The contact editor: name, address, port and start style of one contact. One dialog serves
// every add and edit, so its controls keep their state between uses except where the caller and
// FormShow set them. The caller fills the fields and SelectedStyle, shows it modally and, on
// Accepted, reads them back; whatever "Ok" means for the phonebook is the caller's business.
//
// Neither button is the default one (Enter closes nothing); Esc and the close box are Cancel.
class TEditRecord : public QDialog {
public:
    explicit TEditRecord(QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Label6;
    QGroupBox* GroupBox2;
    QLabel* Label2;
    QLineEdit* UserNameEdit;
    QLabel* Label3;
    QLineEdit* IPAddrEdit;
    QLabel* Label5;
    QGroupBox* GroupBox1;
    QLabel* PortLabel;
    QLineEdit* PortEdit;
    QCheckBox* PortDefaultCheckbox;
    QLabel* Label4;
    QRadioButton* RealtimeRadio;
    QRadioButton* IMRadio;
    QRadioButton* IMPreviewRadio;
    QPushButton* Button2; // "Cancel"
    QPushButton* Button1; // "Ok"

    // The start style: set by the caller, changed by the radio buttons, read after "Ok". A style
    // other than 1 to 3 checks no radio button and stays as it is unless the user picks one.
    TChatStyle SelectedStyle { 0 };

    // The field that takes the keyboard at the next showing (the name field unless the caller
    // says otherwise, as after a refused entry).
    TContactField FocusField = TContactField::Name;

    // Each showing: the default-port box follows the port text ("2323" checks it; the text is
    // never changed here), the radio button follows SelectedStyle, FocusField has the focus.
    void FormShow();
    // The box changed state: the port field is enabled exactly while the box is clear, and a
    // clearing offers "2323" to edit (except the clearing FormShow makes).
    void PortDefaultCheckboxClick();
    // "Ok": with the box checked the port is "2323"; the dialog closes with Accepted.
    void Button1Click();
    void RealtimeRadioClick() { SelectedStyle = TChatStyle::Realtime; }
    void IMRadioClick() { SelectedStyle = TChatStyle::IM; }
    void IMPreviewRadioClick() { SelectedStyle = TChatStyle::IMPreview; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();

    QButtonGroup* StyleButtons;
    bool ShowingForm = false;
};

} // namespace quillet
