#include "phonebook/TMainFormPhonebook.h"

#include "phonebook/PhonebookText.h"
#include "phonebook/TEditRecord.h"
#include "phonebook/TUsersListingBox.h"
#include "platform/PromptService.h"

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

std::optional<std::string> TMainFormPhonebook::LoadUsers()
{
    std::optional<std::string> conversionError = Users.ReadUsers();
    Users.AddDefaultContact();
    UpdateUsersList();
    return conversionError;
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
    if (EditRecord == nullptr)
        return;
    EditRecord->UserNameEdit->clear();
    EditRecord->IPAddrEdit->clear();
    EditRecord->SelectedStyle = TChatStyle::IMPreview;
    EditRecord->PortEdit->setText(QString::fromStdString(DefaultPort));
    EditRecord->PortDefaultCheckbox->setChecked(true);
    if (!RunEditor()) {
        UpdateUsersList();
        return;
    }
    TUserRecordType entry = EnteredContact();
    const std::vector<std::string> messages = Users.CheckEntry(entry, nullptr);
    ShowMessages(messages);
    SaveItemIndex();
    // A refused entry still saves: the file then holds exactly the phonebook in memory.
    if (messages.empty())
        Users.UsersList.push_back(std::move(entry));
    SaveAndUpdate();
}

void TMainFormPhonebook::EditLabelClick()
{
    const std::optional<std::string> name = SelectedName();
    const TUserRecordType* user = name ? Users.FindUser(*name) : nullptr;
    if (EditRecord == nullptr || user == nullptr) {
        UpdateUsersList();
        return;
    }
    EditRecord->UserNameEdit->setText(QString::fromStdString(user->Name));
    EditRecord->IPAddrEdit->setText(QString::fromStdString(user->IPAddress));
    EditRecord->PortEdit->setText(QString::fromStdString(user->Port));
    EditRecord->SelectedStyle = user->Style;
    if (!RunEditor()) {
        UpdateUsersList();
        return;
    }
    TUserRecordType entry = EnteredContact();
    SaveItemIndex();
    const std::vector<std::string> messages = Users.CheckEntry(entry, Users.FindUser(*name));
    ShowMessages(messages);
    if (messages.empty()) {
        // The edited contact goes and its new version joins at the end, to be sorted into place.
        if (const TUserRecordType* old = Users.FindUser(*name))
            Users.TakeOut(*old);
        Users.UsersList.push_back(std::move(entry));
    }
    SaveAndUpdate();
}

void TMainFormPhonebook::DeleteLabelClick()
{
    const std::optional<std::string> name = SelectedName();
    const TUserRecordType* user = name ? Users.FindUser(*name) : nullptr;
    if (user != nullptr
        && Prompts.AskYesNoCancel("Delete this user: \"" + UpperCaseAscii(user->Name) + "\"?")
            == IPromptService::TAnswer::Yes) {
        SaveItemIndex();
        if (const TUserRecordType* again = Users.FindUser(*name))
            Users.TakeOut(*again);
        SaveAndUpdate();
        return;
    }
    UpdateUsersList();
}

void TMainFormPhonebook::DoDial()
{
    const std::optional<std::string> name = SelectedName();
    const TUserRecordType* user = name ? Users.FindUser(*name) : nullptr;
    if (user == nullptr || !Dial)
        return;
    const auto style = static_cast<std::uint8_t>(user->Style);
    Dial(user->IPAddress, user->Port, IsKnownStyle(style) ? user->Style : TChatStyle::IMPreview);
}

void TMainFormPhonebook::OfferAddUser(
    const std::string& name, const std::string& ipAddress, TChatStyle style)
{
    if (Users.FindUser(name) != nullptr || name.empty() || ipAddress.empty())
        return;
    // Both ends of a call to this very copy end together and offer the same name: while that
    // name is being asked about, the second offer has its answer coming.
    if (std::find(NamesInQuestion.begin(), NamesInQuestion.end(), name) != NamesInQuestion.end())
        return;
    TUserRecordType contact(name, ipAddress, DefaultPort, style);
    // A peer chooses its own name: one the file would give back as something else (another
    // address, say, after an "=") must not get into the phonebook.
    if (TPhonebook::StorageProblem(contact))
        return;
    const std::string question = "Add this user: \"" + UpperCaseAscii(name)
        + "\" with IP address of \"" + ipAddress + "\" to phonebook?";
    NamesInQuestion.push_back(name);
    const IPromptService::TAnswer answer = Prompts.AskYesNoCancel(question);
    NamesInQuestion.erase(std::find(NamesInQuestion.begin(), NamesInQuestion.end(), name));
    if (answer != IPromptService::TAnswer::Yes)
        return;
    Users.UsersList.push_back(std::move(contact));
    SaveAndUpdate();
}

void TMainFormPhonebook::SaveItemIndex()
{
    // Rows are counted in 16 bits with 65535 for none; a row beyond that (a hand-made file with
    // more contacts than the phonebook holds) is kept as the last that can be counted.
    const int row = Controls.UsersListingBox.ItemIndex();
    SavedItemIndex = row < 0 ? NoRow : static_cast<std::uint16_t>(std::min(row, NoRow - 1));
}

void TMainFormPhonebook::SaveAndUpdate()
{
    try {
        Users.SaveUsers();
    } catch (...) {
        UpdateUsersList();
        throw;
    }
    UpdateUsersList();
}

bool TMainFormPhonebook::RunEditor()
{
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

void TMainFormPhonebook::ShowMessages(const std::vector<std::string>& messages)
{
    for (const std::string& message : messages)
        Prompts.ShowMessage(message);
}

} // namespace quillet
