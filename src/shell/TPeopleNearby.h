#pragma once

#include "nearby/NearbyService.h"
#include "nearby/TNearbyAnnouncement.h"
#include "nearby/TNearbyPeople.h"
#include "net/ChatStyle.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

class TPeopleNearbyForm;

// People Nearby in the program: the discovery service, the rows and their window, and this
// copy's announcement, joined to the settings, the listener and the phonebook.
//
// The announcement follows three things: "Visible Nearby" and the own name in the settings file
// (read anew on SettingsChanged) and the port calls are answered on (ListenPortChanged; 0 while
// the port is taken). At exit, Withdraw takes it back before anything else ends.
//
// The window is made when it is first shown.
//
// Main thread only.
class TPeopleNearby {
public:
    struct THooks {
        // Starts a call, as Dial in the phonebook does (the listener's call request).
        std::function<void(const std::string& address, const std::string& port, TChatStyle style)>
            Dial;
        // The start style of the phonebook's contact of that name, if there is one.
        std::function<std::optional<TChatStyle>(const std::string& name)> ContactStyle;
        // Every contact of the phonebook, for telling people nearby from contacts.
        std::function<std::vector<TNearbyContact>()> Contacts;
        // Opens the contact editor filled with a person's name, address and port.
        std::function<void(
            const std::string& name, const std::string& address, const std::string& port)>
            AddToPhonebook;
    };

    TPeopleNearby(INearbyService& service, std::filesystem::path settingsFile, THooks hooks);
    ~TPeopleNearby();
    TPeopleNearby(const TPeopleNearby&) = delete;
    TPeopleNearby& operator=(const TPeopleNearby&) = delete;

    // Menu > People Nearby.
    void ShowForm();
    // "Visible Nearby" or the own name may have changed.
    void SettingsChanged();
    void ListenPortChanged(std::uint16_t port);
    // The program ends: the announcement goes at once, and nothing is announced again.
    void Withdraw();
    // The phonebook changed: the rows are weighed against it anew.
    void PhonebookChanged();

    // A person is dialed in the style a new contact gets, or, when they are a contact (the
    // contact's name reads like theirs and it is called where they are), in that contact's
    // start style. A name alone never lends a contact's settings.
    void Dial(const TNearbyPerson& person);
    void AddToPhonebook(const TNearbyPerson& person);

    // The window, made when it is first needed.
    TPeopleNearbyForm& Form();
    const TNearbyPeople& People() const { return Rows; }
    const TNearbyAnnouncement& Announcement() const { return Announcer; }

private:
    INearbyService& Service;
    std::filesystem::path SettingsFile;
    THooks Hooks;
    TNearbyPeople Rows;
    TNearbyAnnouncement Announcer;
    std::unique_ptr<TPeopleNearbyForm> Window;
    std::uint16_t Port = 0;
    bool Ended = false;
    bool Looking = false; // the window is open
};

} // namespace quillet
