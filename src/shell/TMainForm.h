#pragma once

#include "net/ChatStyle.h"
#include "phonebook/TMainFormPhonebook.h"
#include "platform/PromptService.h"
#include "shell/TWindowPlacer.h"
#include "skin/TSkinData.h"

#include <QMainWindow>
#include <QSystemTrayIcon>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;

namespace quillet {

class TSettingsWatcher;

class TEditRecord;
class TLinkLabel;
class TUsersListingBox;

// What the main window works with besides its own controls. Every member may stay empty: a
// window left out is not shown, a hook left out does nothing.
struct TMainFormDependencies {
    QDialog* SetupForm = nullptr; // "My Name"; the tray ignores clicks while it is open
    QDialog* AboutForm = nullptr; // "About"
    QWidget* ChatForm = nullptr; // shown when the pointer enters the list
    std::function<int()> ChatTabCount; // the chat window is shown only with a conversation
    TEditRecord* EditRecord = nullptr; // the contact editor
    TMainFormPhonebook::TDial Dial; // where Dial sends a call: the listener's call request
    std::function<void()> CloseAllChats; // closes every open conversation
    std::function<void()> ShowPeopleNearby; // Menu > People Nearby
    // "Visible Nearby" or the own name may have changed: the announcement follows them.
    std::function<void()> NearbySettingsChanged;
    // How a dialog is shown modally (exec by default); a test answers without a nested loop.
    std::function<void(QDialog&)> RunModal;
    // Runs when a close has gone through; by default it ends every running event loop.
    std::function<void()> OnCloseAccepted;
};

// The main window: a narrow tool window titled "Chat" with the phonebook list, its Add, Edit
// and Delete labels, the Dial button and a menu bar. It owns the tray icon. What the list, the
// labels and Dial do is the phonebook's (TMainFormPhonebook); the window loads the phonebook when
// it is made and shows a problem with it in the error box once the event loop runs.
//
// The program lives in the tray: the close box only hides the window while it is in front. A
// close goes through after an Exit item or a log-off (ExitRequested), or when the window is not
// the active window; a close that goes through ends the program. Without a system tray the
// window is shown at start and its close box minimises it, since nothing else could bring it
// back.
class TMainForm : public QMainWindow {
public:
    // `prompts` shows the phonebook's questions and messages and the error box.
    TMainForm(std::filesystem::path settingsPath, bool trayAvailable, IPromptService& prompts,
        TMainFormDependencies dependencies = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Controls, named as the window's parts are named everywhere else in the program.
    QLabel* Label8;
    TUsersListingBox* UsersListingBox;
    TLinkLabel* AddLabel;
    TLinkLabel* EditLabel;
    TLinkLabel* DeleteLabel;
    QPushButton* DialButton;
    QMenuBar* MainMenu1;
    QMenu* MenuGroup;
    QAction* SetupItem;
    QAction* PeopleNearbyItem;
    QAction* VisibleNearbyItem; // checked: this copy is announced to people nearby
    QAction* About1;
    QAction* N1;
    QAction* Exit1;
    QMenu* PopupMenu1;
    QAction* ShowMenu;
    QAction* HideMenu;
    QAction* ExitMenu;
    TSkinData* SkinData1;
    QSystemTrayIcon* TrayIcon; // null without a system tray

    // True: the next close of this window ends the program.
    bool ExitRequested = false;
    // A close went through; the program is ending.
    bool CloseAccepted() const { return Closed; }
    bool TrayAvailable() const { return HasTray; }
    const std::filesystem::path& SettingsPath() const { return SettingsFile; }

    // Visible, in front and active; placed by FormShow when it was hidden. Restores a minimised
    // window.
    void ShowMainForm();
    // Visible and raised, without taking the keyboard from the window the user types in (an
    // incoming call brings the window forward this way).
    void ShowWithoutFocus();
    // A second copy asked for the window. True when it is visible afterwards.
    bool ActivateFromSecondCopy();

    // The window about to appear: outer width 140, 5 pixels from the top and right edges of the
    // primary screen.
    void FormShow();
    // Above all other windows, active, with the focus; runs once the window has appeared.
    void BringToFront();
    void FormResize();
    bool FormCloseQuery();
    void TrayMessage(QSystemTrayIcon::ActivationReason reason);
    void ShowMenuClick();
    void HideMenuClick();
    void SetupItemClick();
    void PeopleNearbyItemClick();
    // Turns "Visible Nearby" over and stores it; a failed write is shown in the error box and
    // leaves the choice as it was.
    void VisibleNearbyItemClick();
    void About1Click();
    // Exit, in the menu bar and in the tray's menu: the program ends.
    void Exit1Click();
    // Log-off or shutdown: the program lets it happen. Returns the answer to the session (always
    // true).
    bool EndSessionQuery();
    void ShowChatForm();
    void CloseAllChats();
    // A conversation has ended (main thread): an unknown peer is offered for the phonebook, in
    // the background and in its turn; returns at once. A failed save after "Yes" is shown in the
    // error box; the conversation is not told.
    void OfferAddUser(const std::string& name, const std::string& address, TChatStyle style);
    // The listener's state, shown in the tray icon's tip: "Quillet" while calls can come in,
    // and why not otherwise.
    void ShowListenState(bool listening, const std::string& reason);
    void HighLightLabel(TLinkLabel& label);
    void UnHighLightLabel(TLinkLabel& label);

    // Add, with the contact editor filled with a person found nearby.
    void AddNearbyContact(
        const std::string& name, const std::string& address, const std::string& port);

    // The phonebook half of the window: the contacts and the handlers of the list, the labels
    // and Dial.
    TMainFormPhonebook& PhonebookHandlers() { return *Phonebook; }

    // The own name: "User name" in section "Settings", read anew each time.
    std::string GetUserNameFromIni() const;
    // Returns once a non-empty own name is stored, showing the own-name dialog as often as it
    // takes, or when the program is ending; at once when the settings path is no usable file
    // (a folder, a file over 64 MiB), which could store no name.
    void CheckUserName();

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    // The sizes that depend on the fonts: the labels', the smallest client area and the stored
    // size. Measuring text loads fonts, which would cost a start in the tray several milliseconds
    // for a window nobody sees yet, so this runs once, before the window first appears.
    void FitToFonts();
    void CreateMenus();
    void CreateTrayIcon();
    void CreatePhonebook();
    // Runs a phonebook handler; a failure escaping it (a failed save) goes to the error box.
    void RunPhonebookHandler(const std::function<void()>& handler);
    // Shows a problem found while the window was made, in the background, once the event loop
    // runs.
    void ShowAtStart(const std::string& text, IPromptService::TNotice kind);
    // settings.ini changed: the phonebook, the Visible Nearby mark and the announcement follow it.
    void SettingsFileChanged();

    std::filesystem::path SettingsFile;
    bool HasTray;
    IPromptService& Prompts;
    bool Closed = false;
    bool ShowingWithoutFocus = false; // an appearing window is then only raised
    bool FittedToFonts = false;
    QWidget* Client;
    TMainFormDependencies Uses;
    TWindowPlacer Placer;
    std::unique_ptr<TMainFormPhonebook> Phonebook;
    std::unique_ptr<TSettingsWatcher> SettingsWatcher;
};

} // namespace quillet
