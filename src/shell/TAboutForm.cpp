#include "shell/TAboutForm.h"

#include "shell/DesktopOpener.h"
#include "shell/ScreenPlacement.h"
#include "shell/TLinkLabel.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace quillet {

namespace {

constexpr int TextLeft = 39;
constexpr int TextWidth = 341 - TextLeft - 6;
// The settings line shares the bottom rows with "Ok", left of it.
constexpr int SettingsTop = 215;
constexpr int SettingsWidth = 248 - TextLeft - 4;

// Links show their words in the window's text colour, underlined, and this dark blue under the
// pointer (yellow, as links of old, cannot be read on the dialog's sky blue).
const QColor LinkColour(0x00, 0x00, 0x00);
const QColor HoveredLinkColour(0x00, 0x00, 0xCC);

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

// A path in the home folder as people write it, "~/...", which leaves room for the rest of it.
QString HomeAbbreviated(const QString& path)
{
    const QString home = QDir::homePath();
    if (home != QDir::rootPath() && path.startsWith(home + QLatin1Char('/')))
        return QStringLiteral("~") + path.mid(home.size());
    return path;
}

// `text` on at most two lines of `width`: broken after the last "/" that lets the first line
// fit, and only a second line too long for the width is cut, in the middle.
QString TwoLines(const QString& text, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    qsizetype cut = text.size();
    while ((cut = text.lastIndexOf(QLatin1Char('/'), cut - 1)) > 0) {
        if (metrics.horizontalAdvance(text.left(cut + 1)) <= width)
            break;
    }
    if (cut <= 0)
        return metrics.elidedText(text, Qt::ElideMiddle, width);
    return text.left(cut + 1) + QLatin1Char('\n')
        + metrics.elidedText(text.mid(cut + 1), Qt::ElideMiddle, width);
}

} // namespace

QString TAboutForm::VersionCaption()
{
    return QStringLiteral("Quillet v" QUILLET_VERSION);
}

TAboutForm::TAboutForm(const std::filesystem::path& settingsPath, const QString& readmePath,
    const QString& licensePath, IPromptService& prompts, QWidget* parent)
    : TCentredDialog(parent)
    , OpenUrl([](const QUrl& url, const std::function<void()>& noProgram) {
        OpenWithDesktop(url, noProgram);
    })
    , Prompts(prompts)
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

    Label5 = AddLine(this, VersionCaption(), 8, PixelFont(QStringLiteral("Tahoma"), 21));
    SetTextColour(*Label5, Qt::black);

    // Who makes Quillet, as plain text: they lead nowhere, so nothing about them looks like a
    // link.
    const QFont makerFont = PixelFont(QStringLiteral("Tahoma"), 15);
    Label2 = AddLine(this, QStringLiteral("The Quillet developers"), 59, makerFont);
    Label1 = AddLine(this, QStringLiteral("The Quillet project"), 83, makerFont);
    SetTextColour(*Label2, QColor(0x00, 0x00, 0x80));
    SetTextColour(*Label1, QColor(0x00, 0x00, 0x80));

    QFont linkFont = PixelFont(QStringLiteral("Courier"), 13, true);
    linkFont.setUnderline(true);
    Label6 = new TLinkLabel(QStringLiteral("Read me: using Quillet"), this);
    Label7 = new TLinkLabel(QStringLiteral("Licence: MIT"), this);
    int linkTop = 120;
    for (TLinkLabel* link : { Label6, Label7 }) {
        link->setFont(linkFont);
        link->move(TextLeft, linkTop);
        link->setCursor(Qt::PointingHandCursor);
        link->SetTextColor(LinkColour);
        link->OnMouseEnter = [this, link] { URLEnter(*link); };
        link->OnMouseLeave = [this, link] { URLLeave(*link); };
        linkTop += 19;
    }
    // The words say what the link opens; the tool tip says where it is.
    Label6->setToolTip(Readme.toLocalFile());
    Label7->setToolTip(License.toLocalFile());
    Label6->OnClick = [this] { Label6Click(); };
    Label7->OnClick = [this] { Label7Click(); };

    Label3 = AddLine(this, QStringLiteral("Written by the Quillet developers."), 176, font());
    Label4 = AddLine(this, QStringLiteral("Free software under the MIT licence."), 195, font());

    SettingsLabel = new QLabel(this);
    SettingsLabel->setGeometry(TextLeft, SettingsTop, SettingsWidth, height() - SettingsTop - 2);
    SettingsLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const QString settings = QString::fromStdString(settingsPath.string());
    // Broken onto two lines, if it needs them, once the dialog is fitted to its fonts.
    SettingsLabel->setText(QStringLiteral("Settings: ") + HomeAbbreviated(settings));
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
    SettingsLabel->setText(
        TwoLines(SettingsLabel->text(), SettingsLabel->fontMetrics(), SettingsWidth));
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
    OpenDocument(Readme);
}

void TAboutForm::Label7Click()
{
    OpenDocument(License);
}

void TAboutForm::OpenDocument(const QUrl& url)
{
    const QString path = url.toLocalFile();
    if (!QFileInfo::exists(path)) {
        Prompts.ShowMessage("The file " + path.toStdString() + " is missing.");
        return;
    }
    // The answer may come after the dialog has gone; the message is still the user's.
    IPromptService& prompts = Prompts;
    OpenUrl(url, [&prompts, path] {
        prompts.ShowMessage("No program on this computer is set up to open " + path.toStdString()
            + ". Open it with a text editor or a web browser.");
    });
}

void TAboutForm::URLEnter(TLinkLabel& label)
{
    label.SetTextColor(HoveredLinkColour);
}

void TAboutForm::URLLeave(TLinkLabel& label)
{
    label.SetTextColor(LinkColour);
}

} // namespace quillet
