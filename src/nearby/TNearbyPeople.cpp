#include "nearby/TNearbyPeople.h"

#include "nearby/NearbyEndpoint.h"
#include "nearby/NearbyText.h"

#include <algorithm>

namespace quillet {
namespace {

std::string FoldAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// "annsbox" of "annsbox.local", for a person whose announced name has nothing left to show.
std::string ComputerName(const std::string& hostName)
{
    return nearby::ShownName(hostName.substr(0, hostName.find('.')));
}

} // namespace

TNearbyPeople::TNearbyPeople(INearbyPeopleObserver* observer)
    : Observer(observer)
{
}

void TNearbyPeople::SetContacts(const std::vector<TNearbyContact>& contacts)
{
    Contacts = TNearbyContacts(contacts);
    for (std::size_t i = 0; i < Rows.size(); ++i) {
        TNearbyPerson& person = Rows[i].Person;
        TNearbyContacts::TVerdict verdict = Contacts.Judge(person.Name, person.Endpoint);
        if (verdict.Standing == person.Standing && verdict.Contact == person.Contact)
            continue;
        person.Standing = verdict.Standing;
        person.Contact = std::move(verdict.Contact);
        if (Observer != nullptr)
            Observer->RowChanged(i);
    }
}

void TNearbyPeople::Clear()
{
    if (Observer != nullptr)
        Observer->BeforeReset();
    Services.clear();
    Rows.clear();
    Waiting.clear();
    if (Observer != nullptr)
        Observer->AfterReset();
    TurnedAway = false;
    Settle();
}

void TNearbyPeople::ServiceStateChanged(TNearbyServiceState state)
{
    if (state != TNearbyServiceState::Running)
        Clear();
    if (state == State)
        return;
    State = state;
    NotifyStatus();
}

void TNearbyPeople::Found(const TNearbySighting& sighting, bool ownCopy)
{
    if (TSeen* seen = Find(sighting)) {
        seen->OwnCopy = ownCopy;
        Refresh(KeyOf(sighting));
        Settle();
        return;
    }
    const TKey key = KeyOf(sighting);
    auto service = Services.find(key);
    if (service == Services.end()) {
        if (Services.size() >= MaxServices) {
            TurnedAway = true;
            Settle();
            return;
        }
        service = Services.emplace(key, TService {}).first;
    }
    service->second.Sightings.push_back({ sighting.Interface, sighting.Protocol, ownCopy, {} });
    Refresh(key);
    Settle();
}

void TNearbyPeople::Changed(const TNearbySighting& sighting, const TNearbyEndpoint& endpoint)
{
    TSeen* seen = Find(sighting);
    if (seen == nullptr)
        return;
    seen->Endpoint = endpoint;
    Refresh(KeyOf(sighting));
    Settle();
}

void TNearbyPeople::Gone(const TNearbySighting& sighting)
{
    const TKey key = KeyOf(sighting);
    const auto service = Services.find(key);
    if (service == Services.end())
        return;
    std::erase_if(service->second.Sightings, [&](const TSeen& seen) {
        return seen.Interface == sighting.Interface && seen.Protocol == sighting.Protocol;
    });
    if (service->second.Sightings.empty()) {
        StopWaiting(service->second);
        Services.erase(service);
    }
    Refresh(key);
    Settle();
}

void TNearbyPeople::AnnouncedAs(const std::string& name)
{
    if (name == OwnName)
        return;
    OwnName = name;
    NotifyStatus();
}

TNearbyPeople::TSeen* TNearbyPeople::Find(const TNearbySighting& sighting)
{
    const auto service = Services.find(KeyOf(sighting));
    if (service == Services.end())
        return nullptr;
    for (TSeen& seen : service->second.Sightings) {
        if (seen.Interface == sighting.Interface && seen.Protocol == sighting.Protocol)
            return &seen;
    }
    return nullptr;
}

std::optional<TNearbyPerson> TNearbyPeople::RowFor(
    const TKey& key, const TService& service, const TNearbyEndpoint* shown) const
{
    const auto& sightings = service.Sightings;
    if (std::any_of(sightings.begin(), sightings.end(), [](const TSeen& s) { return s.OwnCopy; }))
        return std::nullopt;
    const auto callable
        = [](const TSeen& s) { return s.Endpoint.has_value() && nearby::IsCallable(*s.Endpoint); };
    auto resolved = sightings.end();
    if (shown != nullptr) {
        resolved = std::find_if(sightings.begin(), sightings.end(),
            [shown](const TSeen& s) { return s.Endpoint == *shown; });
    }
    if (resolved == sightings.end())
        resolved = std::find_if(sightings.begin(), sightings.end(), callable);
    if (resolved == sightings.end())
        return std::nullopt;
    TNearbyPerson person { nearby::ShownName(key.first), *resolved->Endpoint };
    if (person.Name.empty())
        person.Name = ComputerName(person.Endpoint.HostName);
    if (person.Name.empty())
        person.Name = person.Endpoint.Address;
    TNearbyContacts::TVerdict verdict = Contacts.Judge(person.Name, person.Endpoint);
    person.Standing = verdict.Standing;
    person.Contact = std::move(verdict.Contact);
    return person;
}

void TNearbyPeople::Refresh(const TKey& key)
{
    const auto service = Services.find(key);
    const std::optional<std::size_t> current = RowIndex(key);
    const TNearbyEndpoint* shown = current ? &Rows[*current].Person.Endpoint : nullptr;
    const std::optional<TNearbyPerson> wanted
        = service == Services.end() ? std::nullopt : RowFor(key, service->second, shown);

    if (current && wanted && Rows[*current].Person.Name == wanted->Name) {
        if (Rows[*current].Person != *wanted) {
            Rows[*current].Person = *wanted;
            if (Observer != nullptr)
                Observer->RowChanged(*current);
        }
        return;
    }
    if (current)
        RemoveRow(*current);
    if (!wanted) {
        if (service != Services.end())
            StopWaiting(service->second);
        return;
    }
    if (Rows.size() >= MaxPeople) {
        if (service->second.WaitingSince == 0) {
            service->second.WaitingSince = NextWaiting++;
            Waiting.emplace(service->second.WaitingSince, key);
        }
        return;
    }
    StopWaiting(service->second);
    Insert(key, *wanted);
}

void TNearbyPeople::Insert(const TKey& key, TNearbyPerson person)
{
    TRow row { key, FoldAscii(person.Name) + '\0' + key.first + '\0' + key.second,
        std::move(person) };
    const auto at = std::lower_bound(Rows.begin(), Rows.end(), row.SortKey,
        [](const TRow& r, const std::string& sortKey) { return r.SortKey < sortKey; });
    const auto index = static_cast<std::size_t>(at - Rows.begin());
    if (Observer != nullptr)
        Observer->BeforeInsert(index);
    Rows.insert(at, std::move(row));
    if (Observer != nullptr)
        Observer->AfterInsert();
}

void TNearbyPeople::StopWaiting(TService& service)
{
    if (service.WaitingSince == 0)
        return;
    Waiting.erase(service.WaitingSince);
    service.WaitingSince = 0;
}

void TNearbyPeople::Settle()
{
    while (Rows.size() < MaxPeople && !Waiting.empty()) {
        const TKey key = Waiting.begin()->second;
        StopWaiting(Services.at(key));
        Refresh(key);
    }
    if (Overflowed() != SaidOverflow) {
        SaidOverflow = Overflowed();
        NotifyStatus();
    }
}

std::optional<std::size_t> TNearbyPeople::RowIndex(const TKey& key) const
{
    const auto at
        = std::find_if(Rows.begin(), Rows.end(), [&](const TRow& row) { return row.Key == key; });
    if (at == Rows.end())
        return std::nullopt;
    return static_cast<std::size_t>(at - Rows.begin());
}

void TNearbyPeople::RemoveRow(std::size_t row)
{
    if (Observer != nullptr)
        Observer->BeforeRemove(row);
    Rows.erase(Rows.begin() + static_cast<std::ptrdiff_t>(row));
    if (Observer != nullptr)
        Observer->AfterRemove();
}

void TNearbyPeople::NotifyStatus()
{
    if (Observer != nullptr)
        Observer->StatusChanged();
}

} // namespace quillet
