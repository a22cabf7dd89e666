#pragma once

#include "nearby/NearbyService.h"

#include <map>
#include <string>
#include <vector>

namespace quillet {

// A phonebook contact, as People Nearby compares people with it.
struct TNearbyContact {
    std::string Name;
    std::string Address; // numeric, or a host name
    std::string Port;
};

// What the phonebook makes of a person nearby.
enum class TNearbyStanding {
    Stranger, // no contact's name reads like theirs
    Contact, // a contact whose name reads like theirs is called where they are
    NotContact, // their name reads like a contact's, but no such contact is called there
};

// The phonebook's contacts, by the names people nearby may pass for them with.
//
// Anyone nearby announces whatever name they like, so a name alone never says who someone is:
// a person is a contact only when a contact whose name reads like theirs is called at their
// address and port. Names read alike when they are the same but for blanks and the letter case of
// A to Z ("Jane Doe", "JaneDoe", "jane  doe"); invisible characters are gone from shown names
// already. A person whose name reads like a contact's and is called elsewhere is marked, so that
// the row cannot pass for that contact.
class TNearbyContacts {
public:
    struct TVerdict {
        TNearbyStanding Standing = TNearbyStanding::Stranger;
        // The contact's name as the phonebook has it (for a stranger, empty). For NotContact, the
        // one the person's name equals if there is one, else the first in the phonebook's order.
        std::string Contact;

        bool operator==(const TVerdict&) const = default;
    };

    TNearbyContacts() = default;
    explicit TNearbyContacts(const std::vector<TNearbyContact>& contacts);

    // `shownName`: the name as People Nearby shows it.
    TVerdict Judge(const std::string& shownName, const TNearbyEndpoint& endpoint) const;

private:
    std::multimap<std::string, TNearbyContact> ByLikeness;
};

} // namespace quillet
