#include "nearby/TNearbyContacts.h"

#include "nearby/NearbyEndpoint.h"
#include "platform/VisibleName.h"

namespace quillet {
namespace {

// Names that read alike have the same key: the shown name without its blanks, A to Z in lower
// case.
std::string LikenessKey(const std::string& name)
{
    std::string key;
    key.reserve(name.size());
    for (const char c : text::VisibleName(name)) {
        if (c == ' ')
            continue;
        key += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return key;
}

} // namespace

TNearbyContacts::TNearbyContacts(const std::vector<TNearbyContact>& contacts)
{
    for (const TNearbyContact& contact : contacts)
        ByLikeness.emplace(LikenessKey(contact.Name), contact);
}

TNearbyContacts::TVerdict TNearbyContacts::Judge(
    const std::string& shownName, const TNearbyEndpoint& endpoint) const
{
    const auto [first, last] = ByLikeness.equal_range(LikenessKey(shownName));
    if (first == last)
        return {};
    const TNearbyContact* namesake = &first->second;
    for (auto at = first; at != last; ++at) {
        const TNearbyContact& contact = at->second;
        if (nearby::Reaches(endpoint, contact.Address, contact.Port))
            return { TNearbyStanding::Contact, contact.Name };
        if (contact.Name == shownName)
            namesake = &contact;
    }
    return { TNearbyStanding::NotContact, namesake->Name };
}

} // namespace quillet
