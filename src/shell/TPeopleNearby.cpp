#include "shell/TPeopleNearby.h"

#include "nearby/qt/TPeopleNearbyForm.h"
#include "settings/Settings.h"
#include "shell/ShellIcon.h"

namespace quillet {

TPeopleNearby::TPeopleNearby(
    INearbyService& service, std::filesystem::path settingsFile, THooks hooks)
    : Service(service)
    , SettingsFile(std::move(settingsFile))
    , Hooks(std::move(hooks))
    , Announcer(service)
{
    Service.SetListener(&Rows);
    SettingsChanged();
}

TPeopleNearby::~TPeopleNearby()
{
    Service.SetListener(nullptr);
}

TPeopleNearbyForm& TPeopleNearby::Form()
{
    if (Window)
        return *Window;
    Window = std::make_unique<TPeopleNearbyForm>(Rows);
    Window->setWindowIcon(QuilletIcon());
    Window->SetVisibleNearby(settings::VisibleNearby(SettingsFile));
    Window->OnShown = [this] {
        Looking = true;
        PhonebookChanged();
        Service.StartBrowsing();
    };
    Window->OnClosed = [this] {
        Looking = false;
        Service.StopBrowsing();
        Rows.Clear();
    };
    Window->OnDial = [this](const TNearbyPerson& person) { Dial(person); };
    Window->OnAddToPhonebook = [this](const TNearbyPerson& person) { AddToPhonebook(person); };
    return *Window;
}

void TPeopleNearby::ShowForm()
{
    Form().ShowForm();
}

void TPeopleNearby::SettingsChanged()
{
    const bool visible = settings::VisibleNearby(SettingsFile);
    if (Window)
        Window->SetVisibleNearby(visible);
    if (Ended)
        return;
    Announcer.Update(visible, settings::OwnName(SettingsFile), Port);
}

void TPeopleNearby::ListenPortChanged(std::uint16_t port)
{
    Port = port;
    SettingsChanged();
}

void TPeopleNearby::Withdraw()
{
    Ended = true;
    Announcer.Update(false, {}, 0);
}

void TPeopleNearby::PhonebookChanged()
{
    // A closed window has no rows; it takes the phonebook as it is when it opens.
    if (Looking && Hooks.Contacts)
        Rows.SetContacts(Hooks.Contacts());
}

void TPeopleNearby::Dial(const TNearbyPerson& person)
{
    if (!Hooks.Dial)
        return;
    TChatStyle style = NewContactStyle;
    if (Hooks.ContactStyle && person.Standing == TNearbyStanding::Contact) {
        if (const std::optional<TChatStyle> stored = Hooks.ContactStyle(person.Contact))
            style = StyleToDial(*stored);
    }
    Hooks.Dial(person.Endpoint.Address, std::to_string(person.Endpoint.Port), style);
}

void TPeopleNearby::AddToPhonebook(const TNearbyPerson& person)
{
    if (Hooks.AddToPhonebook)
        Hooks.AddToPhonebook(
            person.Name, person.Endpoint.Address, std::to_string(person.Endpoint.Port));
}

} // namespace quillet
