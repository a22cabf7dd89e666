#pragma once

#include "chatui/TTabSheet.h"
#include "platform/PromptService.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

namespace quillet {

class TPageControl;

// The chat window: one tab per conversation in the page control `Tabs`.
//
// The conversations build, fill and remove their own tabs; the window contributes the close
// question, bringing itself forward when shown, and ActiveSheet, the tab the conversations count
// as the one the user sees. ActiveSheet changes only when the user picks a tab (TabsChange) and
// when the first tab of an empty window is added (by its conversation). It is a guarded
// reference: once its sheet is destroyed it matches no tab until it is set again, so a new tab
// never inherits the "seen" state of a dead one.
class TChatForm final : public QWidget {
    Q_OBJECT

public:
    explicit TChatForm(QWidget* parent = nullptr);
    ~TChatForm() override;

    // The main window's part: its ExitRequested flag and its CloseAllChats operation. Until
    // they are set the window refuses to close.
    void SetMainFormHooks(std::function<bool()> exitRequested, std::function<void()> closeAllChats);
    // Where the close question is asked; message boxes when none is set.
    void SetPromptService(IPromptService* prompts);
    // Where the window's questions and messages go: the service set, else message boxes.
    IPromptService& PromptService();

    // The folder a conversation was last saved to in this run; empty before the first save.
    QString SaveFolder() const { return LastSaveFolder; }
    void SetSaveFolder(const QString& folder) { LastSaveFolder = folder; }

    int TabCount() const;
    TPageControl& Tabs() const { return *TabsControl; }

    TTabSheet* ActiveSheet() const { return Active.data(); }
    void SetActiveSheet(TTabSheet* sheet) { Active = sheet; }

    // The close question; true when the window may close. On true, all chats have been asked
    // to close.
    bool FormCloseQuery();
    // Raise the window and give it the keyboard.
    void FormShow();
    // The user picked another tab.
    void TabsChange();

    // Show, restore if minimised, raise and activate.
    void BringToFront();
    // A conversation begins: as BringToFront when `takeFocus` (the user dialed), otherwise shown
    // and raised without taking the keyboard from wherever the user is typing.
    void ShowForCall(bool takeFocus);
    // The chat window is the window the user works in.
    bool IsForeground() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Ctrl+Tab and Ctrl+PgDn: the next tab; Ctrl+Shift+Tab and Ctrl+PgUp: the one before
    // (both wrap); Alt+1 to Alt+9: the tab of that number.
    void CreateTabKeys();
    void CenterOnScreen();

    TPageControl* TabsControl;
    QPointer<TTabSheet> Active;
    bool ShowingWithoutFocus = false; // FormShow then only raises
    std::function<bool()> ExitRequested;
    std::function<void()> CloseAllChats;
    IPromptService* Prompts = nullptr;
    std::unique_ptr<IPromptService> DefaultPrompts;
    QString LastSaveFolder;
};

} // namespace quillet
