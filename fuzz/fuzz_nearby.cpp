// Feeds People Nearby what strangers on the network may announce: names of any bytes, and any
// order of reports about them. Whatever arrives, a shown name is clean (valid UTF-8 without
// control characters, within its length, unchanged by cleaning again), an announced name is a
// valid instance name, and the rows the model reports step by step are exactly its rows, each
// with a clean name, never more than it keeps.
//
// Input layout: a sequence of reports, each one byte of kind (found, found as own, address,
// gone, state), one byte of interface, and a name: one length byte and that many bytes. Names
// are taken whole one time in two and from a pool of four otherwise, so that reports meet.

#include "nearby/NearbyText.h"
#include "nearby/TNearbyPeople.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace quillet;

[[noreturn]] void Fail(const char* what, const std::string& detail = std::string())
{
    std::fprintf(stderr, "fuzz_nearby: %s %s\n", what, detail.c_str());
    std::abort();
}

// Well-formed UTF-8 by the standard's table, written apart from the code under test.
bool ValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    const auto at = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    while (i < text.size()) {
        const std::uint8_t b = at(i);
        std::size_t n = 0;
        std::uint8_t low = 0x80;
        std::uint8_t high = 0xBF;
        if (b <= 0x7F) {
            ++i;
            continue;
        }
        if (b >= 0xC2 && b <= 0xDF) {
            n = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 2;
            low = b == 0xE0 ? 0xA0 : 0x80;
            high = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 3;
            low = b == 0xF0 ? 0x90 : 0x80;
            high = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + n >= text.size())
            return false;
        if (at(i + 1) < low || at(i + 1) > high)
            return false;
        for (std::size_t k = 2; k <= n; ++k) {
            if (at(i + k) < 0x80 || at(i + k) > 0xBF)
                return false;
        }
        i += n + 1;
    }
    return true;
}

void CheckClean(const std::string& name, std::size_t max)
{
    if (name.size() > max)
        Fail("name too long", name);
    if (!ValidUtf8(name))
        Fail("name not UTF-8", name);
    if (std::any_of(name.begin(), name.end(),
            [](char c) { return static_cast<std::uint8_t>(c) < 0x20 || c == 0x7F; }))
        Fail("control character in name", name);
    if (nearby::ShownName(name) != name)
        Fail("cleaning a clean name changed it", name);
}

// The rows as an item view would keep them from the notifications alone.
class TShadow final : public INearbyPeopleObserver {
public:
    explicit TShadow(const TNearbyPeople& people)
        : People(people)
    {
    }
    void BeforeInsert(std::size_t row) override
    {
        if (row > Rows.size())
            Fail("insert beyond the end");
        Pending = row;
    }
    void AfterInsert() override
    {
        Rows.insert(Rows.begin() + static_cast<std::ptrdiff_t>(Pending), People.Row(Pending));
    }
    void BeforeRemove(std::size_t row) override
    {
        if (row >= Rows.size())
            Fail("remove beyond the end");
        Pending = row;
    }
    void AfterRemove() override { Rows.erase(Rows.begin() + static_cast<std::ptrdiff_t>(Pending)); }
    void BeforeReset() override { }
    void AfterReset() override
    {
        Rows.clear();
        for (std::size_t i = 0; i < People.RowCount(); ++i)
            Rows.push_back(People.Row(i));
    }
    void RowChanged(std::size_t row) override { Rows.at(row) = People.Row(row); }
    void StatusChanged() override { }

    const TNearbyPeople& People;
    std::vector<TNearbyPerson> Rows;
    std::size_t Pending = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    TNearbyPeople people;
    TShadow shadow(people);
    people.SetObserver(&shadow);
    people.ServiceStateChanged(TNearbyServiceState::Running);
    const std::string pool[] = { "Ann", "ann", "A\xE2\x80\xAEnn", "" };

    std::size_t at = 0;
    while (at + 3 <= input.size()) {
        const auto kind = static_cast<std::uint8_t>(input[at]);
        const int interface = static_cast<std::uint8_t>(input[at + 1]) % 4;
        const std::size_t length = std::min<std::size_t>(
            static_cast<std::uint8_t>(input[at + 2]), input.size() - at - 3);
        std::string raw(input.substr(at + 3, length));
        at += 3 + length;

        CheckClean(nearby::ShownName(raw), nearby::MaxShownNameBytes);
        const std::string instance = nearby::InstanceNameFor(raw);
        if (instance.empty())
            Fail("empty instance name");
        CheckClean(instance, nearby::MaxInstanceNameBytes);

        const std::string name = (kind & 0x80) != 0 ? raw : pool[raw.size() % 4];
        const TNearbySighting sighting { interface, (kind >> 3) & 1, name, "local" };
        switch (kind % 5) {
        case 0:
        case 1:
            people.Found(sighting, kind % 5 == 1);
            break;
        case 2:
            people.Changed(sighting, { raw, "10.0.0." + std::to_string(interface), 2323 });
            break;
        case 3:
            people.Gone(sighting);
            break;
        default:
            people.ServiceStateChanged((kind & 0x40) != 0 ? TNearbyServiceState::NotRunning
                                                          : TNearbyServiceState::Running);
            break;
        }
    }

    if (people.RowCount() > TNearbyPeople::MaxPeople)
        Fail("more rows than kept");
    if (shadow.Rows.size() != people.RowCount())
        Fail("the reported rows went astray");
    for (std::size_t i = 0; i < people.RowCount(); ++i) {
        const TNearbyPerson& row = people.Row(i);
        if (!(shadow.Rows[i] == row))
            Fail("a reported row differs", row.Name);
        if (row.Name.empty())
            Fail("a row without a name");
        CheckClean(row.Name, nearby::MaxShownNameBytes);
    }
    return 0;
}
