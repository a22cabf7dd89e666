#pragma once

#include "platform/PromptService.h"
#include "shell/TCentredDialog.h"

#include <QUrl>

#include <filesystem>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;

namespace quillet {

class TLinkLabel;

// The program information dialog: name and version, who makes Quillet, two links to the
// documentation that ships with it (its README and its licence), and where the settings live.
// Esc does not close it; "Ok" and the close box do. A link whose document is missing, or that no
// program on the computer opens, says so in a message.
class TAboutForm : public TCentredDialog {
public:
    // The caption of the program's name and version.
    static QString VersionCaption();

    TAboutForm(const std::filesystem::path& settingsPath, const QString& readmePath,
        const QString& licensePath, IPromptService& prompts, QWidget* parent = nullptr);

    QFrame* Panel1;
    QLabel* Label5;
    QLabel* Label2;
    QLabel* Label1;
    TLinkLabel* Label6;
    TLinkLabel* Label7;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* SettingsLabel;
    QPushButton* Button1;

    // Opens an address with the desktop's default handler; the second argument runs when no
    // program does (OpenWithDesktop). Replaceable so that a test can watch.
    std::function<void(const QUrl&, const std::function<void()>&)> OpenUrl;

    QUrl ReadmeUrl() const { return Readme; }
    QUrl LicenseUrl() const { return License; }

    void setVisible(bool visible) override;
    void FormShow() override;
    void Button1Click();
    void Label6Click();
    void Label7Click();
    void URLEnter(TLinkLabel& label);
    void URLLeave(TLinkLabel& label);

private:
    // The label heights and the cut paths, which depend on the fonts. Measuring text loads fonts,
    // which would cost every start a few milliseconds for a dialog that may never be opened, so
    // this runs once, before the dialog first appears.
    void FitToFonts();

    void OpenDocument(const QUrl& url);

    IPromptService& Prompts;
    QUrl Readme;
    QUrl License;
    bool FittedToFonts = false;
};

} // namespace quillet
