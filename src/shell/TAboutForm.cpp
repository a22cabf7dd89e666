#include "shell/TAboutForm.h"

#include "shell/ScreenPlacement.h"
#include "shell/TLinkLabel.h"

#include <QDesktopServices>
#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace quillet {

namespace {

constexpr int TextLeft = 39;
constexpr int TextWidth = 341 - TextLeft - 6;

QFont PixelFont(const QString& family, int pixels, bool bold = false)
{
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void SetTextColour(QWidget& widget, const QColor& colour)
{
    QPalette p = widget.palette();
    p.setColor(QPalette::WindowText, colour);
    widget.setPalette(p);
}

// A line of text; its height follows its font once the dialog is fitted to its fonts.
QLabel* AddLine(QWidget* parent, const QString& text, int top, const QFont& font)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->move(TextLeft, top);
    return label;
}

// The whole text, in the tool tip as well: the label shows it cut in the middle when it is too
// long, once the dialog is fitted to its fonts.
void SetPathText(QLabel& label, const QString& text)
{
    label.setText(text);
    label.setToolTip(text);
}

// A path in the home folder as people write it, "~/...", which leaves room for the rest of it.
QString HomeAbbreviated(const QString& path)
{
    const QString home = QDir::homePath();
    if (home != QDir::rootPath() && path.startsWith(home + QLatin1Char('/')))
        return QStringLiteral("~") + path.mid(home.size());
    return path;
}

} // namespace

TAboutForm::TAboutForm(const std::filesystem::path& settingsPath, const QString& readmePath,
    const QString& licensePath, QWidget* parent)
    : TCentredDialog(parent)
    , OpenUrl([](const QUrl& url) { QDesktopServices::openUrl(url); })
    , Readme(QUrl::fromLocalFile(readmePath))
    , License(QUrl::fromLocalFile(licensePath))
{
    setWindowTitle(QStringLiteral("Program Information"));
    setFont(PixelFont(QStringLiteral("Tahoma"), 11));
    setFixedSize(341, 249);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(0xA6, 0xCA, 0xF0));
    setPalette(background);
    setAutoFillBackground(true);

    Panel1 = new QFrame(this);
    Panel1->setGeometry(0, 0, 33, 257);
    QPalette blue = Panel1->palette();
    blue.setColor(QPalette::Window, QColor(0x00, 0x00, 0xFF));
    Panel1->setPalette(blue);
    Panel1->setAutoFillBackground(true);

    Label5 = AddLine(
        this, QStringLiteral("Quillet v0.5e"), 8, PixelFont(QStringLiteral("Tahoma"), 21));
    SetTextColour(*Label5, Qt::black);

    const QFont makerFont = PixelFont(QStringLiteral("Tahoma"), 15);
    Label2 = AddLine(this, QStringLiteral("The Quillet developers"), 59, makerFont);
    Label1 = AddLine(this, QStringLiteral("The Quillet project"), 83, makerFont);
    SetTextColour(*Label2, QColor(0x00, 0x00, 0x80));
    SetTextColour(*Label1, QColor(0x00, 0x00, 0x80));

    const QFont linkFont = PixelFont(QStringLiteral("Courier"), 13, true);
    Label6 = new TLinkLabel(QString(), this);
    Label7 = new TLinkLabel(QString(), this);
    int linkTop = 120;
    for (TLinkLabel* link : { Label6, Label7 }) {
        link->setFont(linkFont);
        link->move(TextLeft, linkTop);
        link->setCursor(Qt::PointingHandCursor);
        link->SetTextColor(palette().color(QPalette::WindowText));
        link->OnMouseEnter = [this, link] { URLEnter(*link); };
        link->OnMouseLeave = [this, link] { URLLeave(*link); };
        linkTop += 19;
    }
    SetPathText(*Label6, Readme.toString());
    SetPathText(*Label7, License.toString());
    Label6->OnClick = [this] { Label6Click(); };
    Label7->OnClick = [this] { Label7Click(); };

    Label3 = AddLine(this, QStringLiteral("Written by the Quillet developers."), 176, font());
    Label4 = AddLine(this, QStringLiteral("Free software under the MIT licence."), 195, font());

    SettingsLabel = new QLabel(this);
    SettingsLabel->setGeometry(TextLeft, 227, 248 - TextLeft - 8, 16);
    const QString settings = QString::fromStdString(settingsPath.string());
    SetPathText(*SettingsLabel, QStringLiteral("Settings: ") + HomeAbbreviated(settings));
    SettingsLabel->setToolTip(QStringLiteral("Settings: ") + settings);

    Button1 = new QPushButton(QStringLiteral("Ok"), this);
    Button1->setGeometry(248, 222, 75, 25);
    Button1->setDefault(true);
    QObject::connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TAboutForm::setVisible(bool visible)
{
    if (visible && !FittedToFonts)
        FitToFonts();
    TCentredDialog::setVisible(visible);
}

void TAboutForm::FitToFonts()
{
    FittedToFonts = true;
    for (QLabel* line : { Label5, Label2, Label1, static_cast<QLabel*>(Label6),
             static_cast<QLabel*>(Label7), Label3, Label4 })
        line->resize(TextWidth, line->fontMetrics().height() + 2);
    // Long paths are cut in the middle, so that both their start and the file name stay
    // readable.
    for (QLabel* path :
        { static_cast<QLabel*>(Label6), static_cast<QLabel*>(Label7), SettingsLabel })
        path->setText(path->fontMetrics().elidedText(path->text(), Qt::ElideMiddle, path->width()));
}

void TAboutForm::FormShow()
{
    raise();
    activateWindow();
    Button1->setFocus();
}

void TAboutForm::Button1Click()
{
    accept();
}

void TAboutForm::Label6Click()
{
    OpenUrl(Readme);
}

void TAboutForm::Label7Click()
{
    OpenUrl(License);
}

void TAboutForm::URLEnter(TLinkLabel& label)
{
    label.SetTextColor(QColor(0xFF, 0xFF, 0x00));
}

void TAboutForm::URLLeave(TLinkLabel& label)
{
    label.SetTextColor(QColor(0x00, 0x00, 0x00));
}

} // namespace quillet
