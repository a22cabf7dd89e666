#include "phonebook/TMainFormPhonebook.h"

#include "phonebook/PhonebookText.h"
#include "phonebook/TEditRecord.h"
#include "phonebook/TUsersListingBox.h"
#include "platform/ExceptionText.h"
#include "platform/VisibleName.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace quillet {
namespace {

constexpr std::uint16_t NoRow = 65535;
const std::string DefaultPort(TPhonebook::DefaultPort);

} // namespace

TMainFormPhonebook::TMainFormPhonebook(const std::filesystem::path& settingsFile,
    TPhonebookControls controls, IPromptService& prompts, TModalRunner runModal)
    : Users(settingsFile)
    , Controls(controls)
    , Prompts(prompts)
    , RunModal(std::move(runModal))
{
    Controls.UsersListingBox.OnSelectionChange = [this] { UsersListingBoxClick(); };
    Controls.UsersListingBox.OnDoubleClick = [this] { DoDial(); };
    QObject::connect(
        &Controls.DialButton, &QPushButton::clicked, &Controls.DialButton, [this] { DoDial(); });
}

TMainFormPhonebook::~TMainFormPhonebook() = default;

TPhonebook::TReadReport TMainFormPhonebook::LoadUsers()
{
    TPhonebook::TReadReport report = Users.ReadUsers();
    if (report.Repaired) {
        try {
            Users.SaveUsers();
        } catch (const std::exception& error) {
            *report.Repaired += std::string("\n") + error.what() + ".";
        }
    }
    Users.AddDefaultContact();
    UpdateUsersList();
    return report;
}

bool TMainFormPhonebook::FollowFile()
{
    if (!Users.FollowFile())
        return false;
    Users.AddDefaultContact();
    return true;
}

void TMainFormPhonebook::SettingsFileChanged()
{
    const std::optional<std::string> selected = SelectedName();
    if (!FollowFile())
        return;
    // The selection stays on its contact where the file still holds it.
    Users.SortUsers();
    if (const TUserRecordType* user = selected ? Users.FindUser(*selected) : nullptr)
        SavedItemIndex = static_cast<std::uint16_t>(
            std::min<std::ptrdiff_t>(user - Users.UsersList.data(), NoRow - 1));
    UpdateUsersList();
}

void TMainFormPhonebook::UpdateUsersList()
{
    Users.SortUsers();
    const std::vector<TUserRecordType>& users = Users.UsersList;
    const bool any = !users.empty();
    Controls.EditLabel.setEnabled(any);
    Controls.DeleteLabel.setEnabled(any);
    Controls.DialButton.setEnabled(any);

    std::vector<std::string> names;
    names.reserve(users.size());
    for (const TUserRecordType& user : users)
        names.push_back(user.Name);
    const int row
        = any ? static_cast<int>(std::min<std::size_t>(SavedItemIndex, users.size() - 1)) : -1;
    Controls.UsersListingBox.Fill(std::move(names), row);
}

void TMainFormPhonebook::UsersListingBoxClick()
{
    Controls.DialButton.setEnabled(true);
    Controls.DeleteLabel.setEnabled(true);
    Controls.EditLabel.setEnabled(true);
}

void TMainFormPhonebook::AddLabelClick()
{
    AddContactWithEditor({}, {}, DefaultPort, NewContactStyle);
}

void TMainFormPhonebook::AddContactWithEditor(const std::string& name, const std::string& ipAddress,
    const std::string& port, TChatStyle style)
{
    if (EditRecord == nullptr) {
        UpdateUsersList();
        return;
    }
    const TUserRecordType given(name, ipAddress, port, style);
    FillEditor(given);
    // An empty form is no refused entry: only values handed in are checked before the showing.
    std::vector<TEntryProblem> problems;
    if (!name.empty() || !ipAddress.empty())
        problems = Users.CheckEntry(given, nullptr);
    std::optional<TUserRecordType> entry = RunEditorUntilAccepted(std::nullopt, problems);
    if (!entry) {
        UpdateUsersList();
        return;
    }
    SaveItemIndex();
    ChangeAndUpdate([&] { Users.AddUser(std::move(*entry)); });
}

void TMainFormPhonebook::EditLabelClick()
{
    const std::optional<std::string> name = SelectedName();
    const TUserRecordType* user = name ? Users.FindUser(*name) : nullptr;
    if (EditRecord == nullptr || user == nullptr) {
        UpdateUsersList();
        return;
    }
    const TUserRecordType before = *user;
    FillEditor(before);
    std::optional<TUserRecordType> entry = RunEditorUntilAccepted(name, {});
    if (!entry) {
        UpdateUsersList();
        return;
    }
    // An offer, or another program writing the file, may have changed the contact while the
    // editor was open: the user decides whether their version goes over it.
    FollowFile();
    const TUserRecordType* old = Users.FindUser(*name);
    if (old == nullptr || !(*old == before)) {
        const std::string question = "Another program changed \"" + UpperCaseAscii(*name) + "\" in "
            + Users.SettingsFile().string() + " while you edited it. Store your version?";
        if (Prompts.AskYesNoCancel(question) != IPromptService::TAnswer::Yes) {
            UpdateUsersList();
            return;
        }
        FollowFile();
        old = Users.FindUser(*name);
    }
    SaveItemIndex();
    // The edited contact goes and its new version joins at the end, to be sorted into place.
    ChangeAndUpdate([&] {
        if (old != nullptr)
            Users.ReplaceUser(*old, std::move(*entry));
        else
            Users.AddUser(std::move(*entry));
    });
}

void TMainFormPhonebook::DeleteLabelClick()
{
    const std::optional<std::string> name = SelectedName();
    const TUserRecordType* user = name ? Users.FindUser(*name) : nullptr;
    if (user != nullptr
        && Prompts.AskYesNoCancel("Delete this user: \"" + UpperCaseAscii(user->Name) + "\"?")
            == IPromptService::TAnswer::Yes) {
        SaveItemIndex();
        FollowFile();
        if (const TUserRecordType* again = Users.FindUser(*name)) {
            ChangeAndUpdate([&] { Users.DeleteUser(*again); });
            return;
        }
    }
    UpdateUsersList();
}

void TMainFormPhonebook::DoDial()
{
    const std::optional<std::string> name = SelectedName();
    const TUserRecordType* user = name ? Users.FindUser(*name) : nullptr;
    if (user == nullptr || !Dial)
        return;
    Dial(user->IPAddress, user->Port, StyleToDial(user->Style));
}

void TMainFormPhonebook::OfferAddUser(
    const std::string& name, const std::string& ipAddress, TChatStyle style)
{
    // The name as it is shown, which is also what the file would give back: "  Bob  " is Bob,
    // "Bob" with a zero-width space is Bob too, and a known Bob is no stranger.
    TOffer offer { text::VisibleName(name), ipAddress, style };
    if (offer.Name.empty() || ipAddress.empty() || Users.FindUser(offer.Name) != nullptr)
        return;
    // Both ends of a call to this very copy end together and offer the same name and address:
    // one question answers both.
    if (IsOffered(offer) || Offers.size() >= MaxWaitingOffers)
        return;
    Offers.push_back(std::move(offer));
    AskNextOffer();
}

bool TMainFormPhonebook::IsOffered(const TOffer& offer) const
{
    const auto same = [&offer](const TOffer& other) {
        return other.Name == offer.Name && other.Address == offer.Address;
    };
    return (CurrentOffer && same(*CurrentOffer)) || std::any_of(Offers.begin(), Offers.end(), same);
}

void TMainFormPhonebook::AskNextOffer()
{
    // A prompt service may answer at once, from inside the call: the loop then goes on with the
    // next offer instead of asking from inside the answer.
    if (AskingNext)
        return;
    AskingNext = true;
    FollowFile();
    while (!CurrentOffer && !Offers.empty()) {
        TOffer offer = std::move(Offers.front());
        Offers.pop_front();
        // Stored meanwhile, by an earlier offer or by hand: nothing left to ask.
        const TUserRecordType* known = Users.FindUser(offer.Name);
        if (known != nullptr && known->IPAddress == offer.Address)
            continue;
        const std::string question = "Add this user: \"" + UpperCaseAscii(offer.Name)
            + "\" with IP address of \"" + offer.Address + "\" to phonebook?";
        CurrentOffer = std::move(offer);
        Prompts.AskInBackground(
            question, [this, alive = std::weak_ptr<bool>(Alive)](IPromptService::TAnswer answer) {
                if (!alive.expired())
                    AnswerOffer(answer);
            });
    }
    AskingNext = false;
}

void TMainFormPhonebook::AnswerOffer(IPromptService::TAnswer answer)
{
    if (!CurrentOffer)
        return;
    if (answer == IPromptService::TAnswer::Yes) {
        const TUserRecordType contact(
            CurrentOffer->Name, CurrentOffer->Address, DefaultPort, CurrentOffer->Style);
        try {
            FollowFile();
            if (Users.CheckEntry(contact, nullptr).empty()) {
                ChangeAndUpdate([&] { Users.AddUser(contact); });
            } else {
                AddContactWithEditor(contact.Name, contact.IPAddress, contact.Port, contact.Style);
            }
        } catch (...) {
            if (ReportError)
                ReportError(std::current_exception());
            else
                Prompts.ShowError(ExceptionText(std::current_exception()));
        }
    }
    // Only now, after the editor the answer may have opened, comes the next question.
    CurrentOffer.reset();
    AskNextOffer();
}

void TMainFormPhonebook::SaveItemIndex()
{
    // Rows are counted in 16 bits with 65535 for none; a row beyond that (a hand-made file with
    // more contacts than the phonebook holds) is kept as the last that can be counted.
    const int row = Controls.UsersListingBox.ItemIndex();
    SavedItemIndex = row < 0 ? NoRow : static_cast<std::uint16_t>(std::min(row, NoRow - 1));
}

void TMainFormPhonebook::ChangeAndUpdate(const std::function<void()>& change)
{
    try {
        change();
    } catch (...) {
        UpdateUsersList();
        throw;
    }
    UpdateUsersList();
}

void TMainFormPhonebook::FillEditor(const TUserRecordType& contact)
{
    EditRecord->UserNameEdit->setText(QString::fromStdString(contact.Name));
    EditRecord->IPAddrEdit->setText(QString::fromStdString(contact.IPAddress));
    EditRecord->PortEdit->setText(QString::fromStdString(contact.Port));
    EditRecord->SelectedStyle = contact.Style;
}

std::optional<TUserRecordType> TMainFormPhonebook::RunEditorUntilAccepted(
    const std::optional<std::string>& editedName, std::vector<TEntryProblem> problems)
{
    while (true) {
        ShowMessages(problems);
        if (!RunEditor(problems.empty() ? TContactField::Name : problems.front().Field))
            return std::nullopt;
        TUserRecordType entry = EnteredContact();
        // The entry is checked against the file as it is now, which another program may have
        // changed while the editor was open.
        FollowFile();
        const TUserRecordType* replacing = editedName ? Users.FindUser(*editedName) : nullptr;
        problems = Users.CheckEntry(entry, replacing);
        if (problems.empty())
            return entry;
    }
}

bool TMainFormPhonebook::RunEditor(TContactField field)
{
    EditRecord->FocusField = field;
    EditRecord->setResult(QDialog::Rejected);
    RunModal(*EditRecord);
    return EditRecord->result() == QDialog::Accepted;
}

TUserRecordType TMainFormPhonebook::EnteredContact() const
{
    std::string port = TrimControls(EditRecord->PortEdit->text().toStdString());
    if (port.empty())
        port = DefaultPort;
    return { TrimControls(EditRecord->UserNameEdit->text().toStdString()),
        TrimControls(EditRecord->IPAddrEdit->text().toStdString()), std::move(port),
        EditRecord->SelectedStyle };
}

std::optional<std::string> TMainFormPhonebook::SelectedName() const
{
    const int row = Controls.UsersListingBox.ItemIndex();
    if (row < 0)
        return std::nullopt;
    return Controls.UsersListingBox.NameAt(row);
}

void TMainFormPhonebook::ShowMessages(const std::vector<TEntryProblem>& problems)
{
    for (const TEntryProblem& problem : problems)
        Prompts.ShowMessage(problem.Message);
}

} // namespace quillet
