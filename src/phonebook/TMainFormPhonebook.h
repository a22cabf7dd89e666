#pragma once

#include "phonebook/TPhonebook.h"
#include "platform/PromptService.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QDialog;
class QPushButton;
class QWidget;

namespace quillet {

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
// list. A failed save undoes the change and throws std::runtime_error("Unable to write to
// <path>") out of the handler after the list has been refilled, so the list always shows the
// phonebook as the file holds it.
//
// Another program may change settings.ini while the program runs: the list follows the file
// (SettingsFileChanged), and every change and check is made against what the file holds at that
// moment, never written over it. An edit whose contact was changed meanwhile asks first.
//
// The contact editor refuses an entry with its messages and then shows again, every field as
// typed and the offending one focused, until the entry is stored or the editor cancelled.
//
// Offers to add a caller wait in one queue and are asked one at a time in the background
// (IPromptService::AskInBackground), never one inside another; at most MaxWaitingOffers wait.
//
// Main thread only. A handler waiting for the editor or a question lets the main thread run, so
// an offer can add a contact meanwhile; handlers therefore look contacts up again after every
// wait instead of holding on to them.
//
// The list's selection changes and double clicks and the Dial button are handled from the
// construction on; the labels are the window's to connect to the three label handlers.
class TMainFormPhonebook {
public:
    using TDial = std::function<void(
        const std::string& address, const std::string& port, TChatStyle style)>;
    using TModalRunner = std::function<void(QDialog&)>;
    // Shows a failure that escaped an offer's answer (a failed save); the handlers throw theirs.
    using TErrorReporter = std::function<void(const std::exception_ptr&)>;

    // How many offers may wait behind the one being asked; later ones are dropped.
    static constexpr std::size_t MaxWaitingOffers = 20;

    TMainFormPhonebook(const std::filesystem::path& settingsFile, TPhonebookControls controls,
        IPromptService& prompts, TModalRunner runModal);
    ~TMainFormPhonebook();
    TMainFormPhonebook(const TMainFormPhonebook&) = delete;
    TMainFormPhonebook& operator=(const TMainFormPhonebook&) = delete;

    // Start-up: read the phonebook, save it at once when contacts had to be repaired (so that
    // the report comes once), add the built-in contact to an empty one (not saved yet) and fill
    // the list. Returns what the reading found to complain about; a failed save of the repaired
    // phonebook is added to the repair report.
    TPhonebook::TReadReport LoadUsers();

    // The editor, made after the main window. Until it is set, Add and Edit do nothing.
    void SetEditRecord(TEditRecord* editRecord) { EditRecord = editRecord; }
    // Where a dial goes (the listener's call request). Until it is set, dialing does nothing.
    void SetDial(TDial dial) { Dial = std::move(dial); }
    // Until it is set, such a failure goes to the prompt service's error box as it is.
    void SetErrorReporter(TErrorReporter report) { ReportError = std::move(report); }

    // settings.ini may have been changed by another program: the list shows what it holds now.
    void SettingsFileChanged();
    // Sorts the phonebook and refills the list; selects the row SavedItemIndex (the last row when
    // it lies beyond); Edit, Delete and Dial are enabled exactly when there are contacts.
    void UpdateUsersList();
    // The user changed the selection.
    void UsersListingBoxClick();
    void AddLabelClick();
    void EditLabelClick();
    void DeleteLabelClick();
    // The contact editor filled with these values, as "Add" shows it empty: "Ok" stores the
    // entry once the checks pass, a refused entry shows its messages and the editor again with
    // every field as typed, Cancel stores nothing. When the values given are refused already,
    // their messages come first and the editor opens on the offending field.
    void AddContactWithEditor(const std::string& name, const std::string& ipAddress,
        const std::string& port, TChatStyle style);
    // Dials the selected contact; a style other than 1 to 3 starts the call in IM with preview.
    void DoDial();
    // A conversation has ended. A peer whose announced name (as text::VisibleName shows it:
    // without invisible characters, trimmed as the file would read it) is not in the phonebook
    // is offered under that name; returns at once, the question comes in its turn. "Yes"
    // stores it with the address seen, port "2323" and the style the conversation ended in, or,
    // when that entry is refused (a name the file cannot hold, a name taken since), opens the
    // editor filled with it, where its messages say why. An offer of the same name and address
    // as one waiting or being asked is dropped, as are offers beyond MaxWaitingOffers.
    void OfferAddUser(const std::string& name, const std::string& ipAddress, TChatStyle style);
    // Offers waiting behind the one being asked, and whether one is being asked.
    std::size_t WaitingOffers() const { return Offers.size(); }
    bool AskingOffer() const { return CurrentOffer.has_value(); }

    TPhonebook& Phonebook() { return Users; }
    const TPhonebook& Phonebook() const { return Users; }

    // The row position the next refill selects: the current row of the last add, edit or delete,
    // 65535 for none.
    std::uint16_t SavedItemIndex = 0;

private:
    struct TOffer {
        std::string Name;
        std::string Address;
        TChatStyle Style;
    };

    // Reads the phonebook anew when another program changed the file (the built-in contact
    // joins an empty one as at start); true when it did. Records held before are gone then.
    bool FollowFile();
    // The current row as SavedItemIndex keeps it.
    void SaveItemIndex();
    // Runs a change of the phonebook and refills the list, also when the change fails (the
    // failure is then passed on).
    void ChangeAndUpdate(const std::function<void()>& change);
    // Fills the editor with the contact's fields.
    void FillEditor(const TUserRecordType& contact);
    // Shows the editor until an entry passes the checks (returned) or it is cancelled (nothing).
    // `editedName` is the contact an edit replaces; `problems` are shown before the first
    // showing.
    std::optional<TUserRecordType> RunEditorUntilAccepted(
        const std::optional<std::string>& editedName, std::vector<TEntryProblem> problems);
    // Runs the editor modally with the focus on `field`; true when it closed with "Ok".
    bool RunEditor(TContactField field);
    // The contact as the editor holds it after "Ok": fields trimmed, a blank port is "2323".
    TUserRecordType EnteredContact() const;
    // The name of the selected row, if a row is selected.
    std::optional<std::string> SelectedName() const;
    void ShowMessages(const std::vector<TEntryProblem>& problems);
    // Asks the next waiting offer unless one is being asked.
    void AskNextOffer();
    void AnswerOffer(IPromptService::TAnswer answer);
    bool IsOffered(const TOffer& offer) const;

    TPhonebook Users;
    TPhonebookControls Controls;
    IPromptService& Prompts;
    TModalRunner RunModal;
    TEditRecord* EditRecord = nullptr;
    TDial Dial;
    TErrorReporter ReportError;
    std::deque<TOffer> Offers;
    std::optional<TOffer> CurrentOffer; // asked, or its answer being acted on
    bool AskingNext = false;
    // Answers that arrive after this object is gone are dropped.
    std::shared_ptr<bool> Alive = std::make_shared<bool>(true);
};

} // namespace quillet
