#include "phonebook/TEditRecord.h"

#include "phonebook/TPhonebook.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include <limits>

namespace quillet {
namespace {

const QString DefaultPort = QString::fromUtf8(TPhonebook::DefaultPort);
const QColor Navy(0x00, 0x00, 0x80);

QFont DialogFont(int pixels, bool bold)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* MakeLabel(const QString& text, QWidget* parent, int x, int y, int pixels = 11,
    const QColor& colour = QColor())
{
    auto* label = new QLabel(text, parent);
    label->setFont(DialogFont(pixels, true));
    if (colour.isValid()) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    }
    label->move(x, y);
    label->adjustSize();
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, const QRect& geometry)
{
    auto* edit = new QLineEdit(parent);
    edit->setGeometry(geometry);
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

QPushButton* MakeButton(const QString& text, QWidget* parent, const QRect& geometry)
{
    auto* button = new QPushButton(text, parent);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

TEditRecord::TEditRecord(QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
            | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QString());
    setFont(DialogFont(11, false));
    setFixedSize(352, 320);
    QPalette cream = palette();
    cream.setColor(QPalette::Window, QColor(0xFF, 0xFB, 0xF0));
    setPalette(cream);
    setAutoFillBackground(true);
    CreateControls();
}

void TEditRecord::CreateControls()
{
    Label1 = MakeLabel(QStringLiteral("Calling information:"), this, 16, 8, 16, Navy);
    Label6 = MakeLabel(QStringLiteral("User Information:"), this, 16, 43, 13, Navy);
    GroupBox2 = new QGroupBox(this);
    GroupBox2->setGeometry(16, 58, 320, 79);
    Label2 = MakeLabel(QStringLiteral("Name:"), GroupBox2, 16, 21);
    UserNameEdit = MakeEdit(GroupBox2, QRect(16, 40, 123, 21));
    UserNameEdit->setAccessibleName(QStringLiteral("Name"));
    Label3 = MakeLabel(QStringLiteral("IP Address:"), GroupBox2, 160, 21);
    IPAddrEdit = MakeEdit(GroupBox2, QRect(160, 40, 121, 21));
    IPAddrEdit->setAccessibleName(QStringLiteral("IP Address"));

    Label5 = MakeLabel(QStringLiteral("Advanced Settings:"), this, 16, 155, 13, Navy);
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setGeometry(16, 170, 320, 95);
    PortLabel = MakeLabel(QStringLiteral("Port Number:"), GroupBox1, 18, 21);
    PortEdit = MakeEdit(GroupBox1, QRect(18, 40, 121, 21));
    PortEdit->setAccessibleName(QStringLiteral("Port Number"));
    PortDefaultCheckbox = new QCheckBox(QStringLiteral("Uses default port"), GroupBox1);
    PortDefaultCheckbox->setGeometry(18, 60, 121, 17);
    Label4 = MakeLabel(QStringLiteral("Start in this style:"), GroupBox1, 162, 17);
    RealtimeRadio = new QRadioButton(QStringLiteral("Realtime"), GroupBox1);
    RealtimeRadio->setGeometry(162, 36, 113, 17);
    IMRadio = new QRadioButton(QStringLiteral("IM"), GroupBox1);
    IMRadio->setGeometry(162, 51, 113, 17);
    IMPreviewRadio = new QRadioButton(QStringLiteral("IM with preview"), GroupBox1);
    IMPreviewRadio->setGeometry(162, 66, 113, 17);
    StyleButtons = new QButtonGroup(this);
    for (QRadioButton* radio : { RealtimeRadio, IMRadio, IMPreviewRadio })
        StyleButtons->addButton(radio);

    Button2 = MakeButton(QStringLiteral("Cancel"), this, QRect(215, 278, 58, 25));
    Button1 = MakeButton(QStringLiteral("Ok"), this, QRect(279, 278, 57, 25));

    setTabOrder(UserNameEdit, IPAddrEdit);
    setTabOrder(IPAddrEdit, PortEdit);
    setTabOrder(PortEdit, PortDefaultCheckbox);
    setTabOrder(PortDefaultCheckbox, RealtimeRadio);
    setTabOrder(RealtimeRadio, IMRadio);
    setTabOrder(IMRadio, IMPreviewRadio);
    setTabOrder(IMPreviewRadio, Button2);
    setTabOrder(Button2, Button1);

    QObject::connect(PortDefaultCheckbox, &QCheckBox::toggled, this,
        [this](bool) { PortDefaultCheckboxClick(); });
    QObject::connect(RealtimeRadio, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            RealtimeRadioClick();
    });
    QObject::connect(IMRadio, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            IMRadioClick();
    });
    QObject::connect(IMPreviewRadio, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            IMPreviewRadioClick();
    });
    QObject::connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    QObject::connect(Button2, &QPushButton::clicked, this, [this] { reject(); });
}

void TEditRecord::FormShow()
{
    ShowingForm = true;
    PortDefaultCheckbox->setChecked(PortEdit->text() == DefaultPort);
    PortEdit->setEnabled(!PortDefaultCheckbox->isChecked());
    ShowingForm = false;

    switch (SelectedStyle) {
    case TChatStyle::Realtime:
        RealtimeRadio->setChecked(true);
        break;
    case TChatStyle::IM:
        IMRadio->setChecked(true);
        break;
    case TChatStyle::IMPreview:
        IMPreviewRadio->setChecked(true);
        break;
    default:
        // A style this program has no button for: none is checked, and the style stays.
        StyleButtons->setExclusive(false);
        for (QAbstractButton* radio : StyleButtons->buttons())
            radio->setChecked(false);
        StyleButtons->setExclusive(true);
        break;
    }
    switch (FocusField) {
    case TContactField::Name:
        UserNameEdit->setFocus();
        break;
    case TContactField::IPAddress:
        IPAddrEdit->setFocus();
        break;
    case TContactField::Port:
        PortEdit->setFocus();
        break;
    }
}

void TEditRecord::PortDefaultCheckboxClick()
{
    PortEdit->setEnabled(!PortDefaultCheckbox->isChecked());
    if (PortEdit->isEnabled() && !ShowingForm)
        PortEdit->setText(DefaultPort);
}

void TEditRecord::Button1Click()
{
    if (PortDefaultCheckbox->isChecked())
        PortEdit->setText(DefaultPort);
    accept();
}

void TEditRecord::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

} // namespace quillet
