#pragma once

#include "phonebook/TPhonebook.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QDialog;
class QPushButton;
class QWidget;

namespace quillet {

class IPromptService;
class TEditRecord;
class TUsersListingBox;

// The main window's controls that show the phonebook.
struct TPhonebookControls {
    TUsersListingBox& UsersListingBox;
    QWidget& EditLabel;
    QWidget& DeleteLabel;
    QPushButton& DialButton;
};

// The phonebook half of the main window: the contact list, adding, editing and deleting contacts
// with the contact editor, dialing, and the offer to add a caller after a conversation.
//
// Every change follows one pattern: change the phonebook, save the whole section, refill the
// list. A failed save throws std::runtime_error("Unable to write to <path>") out of the handler
// after the list has been refilled, so the list always shows the phonebook in memory (which keeps
// the change and writes it with the next save that succeeds).
//
// Main thread only. A handler waiting for the editor or a question lets the main thread run, so
// a caller offer can add a contact meanwhile; handlers therefore look contacts up again after
// every wait instead of holding on to them.
//
// The list's selection changes and double clicks and the Dial button are handled from the
// construction on; the labels are the window's to connect to the three label handlers.
class TMainFormPhonebook {
public:
    using TDial = std::function<void(
        const std::string& address, const std::string& port, TChatStyle style)>;
    using TModalRunner = std::function<void(QDialog&)>;

    TMainFormPhonebook(const std::filesystem::path& settingsFile, TPhonebookControls controls,
        IPromptService& prompts, TModalRunner runModal);

    // Start-up: read the phonebook, add the built-in contact to an empty one (not saved yet) and
    // fill the list. Returns the message for a style field that is not a whole number.
    std::optional<std::string> LoadUsers();

    // The editor, made after the main window. Until it is set, Add and Edit do nothing.
    void SetEditRecord(TEditRecord* editRecord) { EditRecord = editRecord; }
    // Where a dial goes (the listener's call request). Until it is set, dialing does nothing.
    void SetDial(TDial dial) { Dial = std::move(dial); }

    // Sorts the phonebook and refills the list; selects the row SavedItemIndex (the last row when
    // it lies beyond); Edit, Delete and Dial are enabled exactly when there are contacts.
    void UpdateUsersList();
    // The user changed the selection.
    void UsersListingBoxClick();
    void AddLabelClick();
    void EditLabelClick();
    void DeleteLabelClick();
    // Dials the selected contact; a style other than 1 to 3 starts the call in IM with preview.
    void DoDial();
    // A conversation has ended. A peer whose announced name is not in the phonebook is offered;
    // "Yes" stores it with the address seen, port "2323" and the style the conversation ended in.
    // A name the settings file could not give back as it is (an "=" in it, say) is not offered,
    // nor a name that another offer is asking about at the moment.
    void OfferAddUser(const std::string& name, const std::string& ipAddress, TChatStyle style);

    TPhonebook& Phonebook() { return Users; }
    const TPhonebook& Phonebook() const { return Users; }

    // The row position the next refill selects: the current row of the last add, edit or delete,
    // 65535 for none.
    std::uint16_t SavedItemIndex = 0;

private:
    // The current row as SavedItemIndex keeps it.
    void SaveItemIndex();
    // Saves the phonebook and refills the list, also when the save fails (the failure is then
    // passed on).
    void SaveAndUpdate();
    // Runs the editor modally; true when it closed with "Ok".
    bool RunEditor();
    // The contact as the editor holds it after "Ok": fields trimmed, a blank port is "2323".
    TUserRecordType EnteredContact() const;
    // The name of the selected row, if a row is selected.
    std::optional<std::string> SelectedName() const;
    void ShowMessages(const std::vector<std::string>& messages);

    TPhonebook Users;
    TPhonebookControls Controls;
    IPromptService& Prompts;
    TModalRunner RunModal;
    TEditRecord* EditRecord = nullptr;
    TDial Dial;
    // Names whose offer waits for the user's answer.
    std::vector<std::string> NamesInQuestion;
};

} // namespace quillet
