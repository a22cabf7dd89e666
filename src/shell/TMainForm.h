#pragma once

#include "shell/TWindowPlacer.h"
#include "skin/TSkinData.h"

#include <QMainWindow>
#include <QSystemTrayIcon>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QDialog;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class QPushButton;

namespace quillet {

class TLinkLabel;

// The main window: a narrow tool window titled "Chat" with the phonebook list, its Add, Edit
// and Delete labels, the Dial button and a menu bar. It owns the tray icon.
//
// The program lives in the tray: the close box only hides the window while it is in front. A
// close goes through after an Exit item or a log-off (ExitRequested), or when the window is not
// the active window; a close that goes through ends the program. Without a system tray the
// window is shown at start and its close box minimises it, since nothing else could bring it
// back.
class TMainForm : public QMainWindow {
public:
    TMainForm(std::filesystem::path settingsPath, bool trayAvailable, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The windows made after this one. Until they are set, "My Name" and "About" do nothing,
    // the tray does not look for an open own-name dialog, and the list shows no chat window.
    void SetSetupForm(QDialog* setupForm) { SetupForm = setupForm; }
    void SetAboutForm(QDialog* aboutForm) { AboutForm = aboutForm; }
    void SetChatForm(QWidget* chatForm, std::function<int()> tabCount);

    // How a dialog is shown modally; a test replaces it to answer without a nested loop.
    void SetModalRunner(std::function<void(QDialog&)> runner) { RunModal = std::move(runner); }
    // Runs when a close has gone through; by default it ends every running event loop.
    void SetOnCloseAccepted(std::function<void()> onClose) { OnCloseAccepted = std::move(onClose); }
    // What CloseAllChats does: the conversation work closes every open conversation here.
    void SetCloseAllChatsHook(std::function<void()> hook) { CloseAllChatsHook = std::move(hook); }
    // Steps run in order after the event loop has ended, before the windows are destroyed (stop
    // the listener, close the conversations). A step that throws does not stop the later ones.
    void AddShutdownStep(std::function<void()> step) { ShutdownSteps.push_back(std::move(step)); }
    void RunShutdownSteps();

    // Controls, named as the window's parts are named everywhere else in the program.
    QLabel* Label8;
    QListWidget* UsersListingBox;
    TLinkLabel* AddLabel;
    TLinkLabel* EditLabel;
    TLinkLabel* DeleteLabel;
    QPushButton* DialButton;
    QMenuBar* MainMenu1;
    QMenu* MenuGroup;
    QAction* SetupItem;
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
    void ExitMenuClick();
    void SetupItemClick();
    void About1Click();
    void Exit1Click();
    // Log-off or shutdown: the program lets it happen. Returns the answer to the session (always
    // true).
    bool EndSessionQuery();
    void ShowChatForm();
    void CloseAllChats();
    // A conversation has ended (main thread): the peer may be offered for the phonebook. The
    // offer itself belongs to the phonebook, which is not built yet; until then nothing is asked.
    void OfferAddUser(const std::string& name, const std::string& address, std::uint8_t style);
    // The listener's state, shown in the tray icon's tip: "Quillet" while calls can come in,
    // and why not otherwise.
    void ShowListenState(bool listening, const std::string& reason);
    void HighLightLabel(TLinkLabel& label);
    void UnHighLightLabel(TLinkLabel& label);

    // The own name: "User name" in section "Settings", read anew each time.
    std::string GetUserNameFromIni() const;
    // Returns once a non-empty own name is stored, showing the own-name dialog as often as it
    // takes, or when the program is ending.
    void CheckUserName();

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void CreateTrayIcon();

    std::filesystem::path SettingsFile;
    bool HasTray;
    bool Closed = false;
    bool ShowingWithoutFocus = false; // an appearing window is then only raised
    QWidget* Client;
    QDialog* SetupForm = nullptr;
    QDialog* AboutForm = nullptr;
    QWidget* ChatForm = nullptr;
    std::function<int()> ChatTabCount;
    std::function<void(QDialog&)> RunModal;
    std::function<void()> OnCloseAccepted;
    std::function<void()> CloseAllChatsHook;
    std::vector<std::function<void()>> ShutdownSteps;
    TWindowPlacer Placer;
};

} // namespace quillet
