// Feeds the settings file reader and writer arbitrary files and arbitrary sections, keys and
// values. Whatever the file holds, a write either is refused and leaves the file byte for byte,
// or succeeds, and then what was written is what is read back (keys and values trimmed, as the
// reader trims them), every other value reads as before, and no other key or section appears.
// And whatever the phonebook reads from the file (repairing what it could not write back) is
// written back, and read back the same with nothing left to repair.
//
// Input layout: byte 0 = operation (even: one value, odd: a whole section of up to three
// entries), then the section, key and value texts, each as one length byte and that many bytes
// (a second and third entry follow for the section operation), then the file's bytes.

#include "phonebook/TPhonebook.h"
#include "platform/ProfileFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using quillet::profile::TProfileEntry;

[[noreturn]] void Fail(const char* what, const std::string& detail = std::string())
{
    std::fprintf(stderr, "fuzz_profile: %s %s\n", what, detail.c_str());
    std::abort();
}

// The folder every input is written to: in memory where the system offers it, so that the fsync
// of every write does not set the pace. Removed when the fuzzer ends.
class TWorkFolder {
public:
    TWorkFolder()
    {
        const char* shm = "/dev/shm";
        const std::string base
            = ::access(shm, W_OK) == 0 ? shm : fs::temp_directory_path().string();
        std::string tmpl = base + "/quillet-fuzz-XXXXXX";
        if (::mkdtemp(tmpl.data()) == nullptr)
            Fail("no temporary folder");
        Folder = tmpl;
    }
    ~TWorkFolder()
    {
        std::error_code ignored;
        fs::remove_all(Folder, ignored);
    }
    TWorkFolder(const TWorkFolder&) = delete;
    TWorkFolder& operator=(const TWorkFolder&) = delete;

    fs::path Folder;
};

const fs::path& WorkFile()
{
    static const TWorkFolder folder;
    static const fs::path file = folder.Folder / "settings.ini";
    return file;
}

class TInput {
public:
    TInput(const std::uint8_t* data, std::size_t size)
        : Rest(reinterpret_cast<const char*>(data), size)
    {
    }
    std::string Text()
    {
        if (Rest.empty())
            return {};
        const std::size_t n
            = std::min<std::size_t>(static_cast<std::uint8_t>(Rest[0]), Rest.size() - 1);
        std::string text(Rest.substr(1, n));
        Rest.remove_prefix(1 + n);
        return text;
    }
    std::string_view Rest;
};

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string Trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

std::string ReadFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// What a reader sees: for each section name (letter case folded) the first value of each key.
using TView = std::map<std::string, std::map<std::string, std::string>>;

TView Snapshot(const fs::path& file)
{
    TView view;
    for (const std::string& section : quillet::profile::ListSections(file)) {
        auto [it, added] = view.try_emplace(Lower(section));
        if (!added)
            continue; // a later section of the same name is never read
        for (const TProfileEntry& e : quillet::profile::ReadSection(file, section))
            it->second.try_emplace(Lower(e.Key), e.Value);
    }
    return view;
}

void ExpectUnchangedBut(
    const TView& before, const TView& after, const std::string& section, const std::string& key)
{
    for (const auto& [name, entries] : after) {
        for (const auto& [k, value] : entries) {
            if (name == section && (key.empty() || k == key))
                continue;
            const auto s = before.find(name);
            if (s == before.end())
                Fail("a section appeared:", name);
            const auto v = s->second.find(k);
            if (v == s->second.end())
                Fail("a key appeared:", name + "/" + k);
            if (v->second != value)
                Fail("another value changed:", name + "/" + k);
        }
    }
    for (const auto& [name, entries] : before) {
        const auto s = after.find(name);
        for (const auto& [k, value] : entries) {
            if (name == section && (key.empty() || k == key))
                continue;
            if (s == after.end() || s->second.count(k) == 0)
                Fail("a key vanished:", name + "/" + k);
        }
    }
}

void CheckPhonebookWritesBack(const fs::path& file)
{
    quillet::TPhonebook phonebook(file);
    phonebook.ReadUsers();
    try {
        phonebook.SaveUsers();
    } catch (const std::exception& error) {
        Fail("the phonebook read could not be written back:", error.what());
    }
    quillet::TPhonebook again(file);
    if (again.ReadUsers().Repaired)
        Fail("a phonebook written back still needs repairs");
    if (again.UsersList != phonebook.UsersList)
        Fail("the phonebook written back reads back otherwise");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const bool wholeSection = (data[0] & 1) != 0;
    TInput input(data + 1, size - 1);
    const std::string section = input.Text();
    std::vector<TProfileEntry> entries;
    for (int i = 0; i < (wholeSection ? 3 : 1); ++i) {
        std::string key = input.Text();
        std::string value = input.Text();
        entries.push_back({ std::move(key), std::move(value) });
    }
    const std::string content(input.Rest);

    const fs::path& file = WorkFile();
    const auto putContent = [&file, &content] {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << content;
    };
    putContent();
    CheckPhonebookWritesBack(file);
    putContent();
    const TView before = Snapshot(file);
    const bool written = wholeSection
        ? quillet::profile::ReplaceSection(file, section, entries)
        : quillet::profile::WriteString(file, section, entries[0].Key, entries[0].Value);
    const std::string bytes = ReadFile(file);
    if (!written) {
        if (bytes != content)
            Fail("a refused write changed the file");
        return 0;
    }
    const TView after = Snapshot(file);
    const std::string name = Lower(Trim(section));

    if (!wholeSection) {
        const std::string read
            = quillet::profile::ReadString(file, section, entries[0].Key, "\x01<missing>");
        if (read != Trim(entries[0].Value))
            Fail("written value not read back:", read);
        ExpectUnchangedBut(before, after, name, Lower(Trim(entries[0].Key)));
        return 0;
    }
    std::vector<TProfileEntry> expected;
    for (const TProfileEntry& e : entries)
        expected.push_back({ Trim(e.Key), Trim(e.Value) });
    if (quillet::profile::ReadSection(file, section) != expected)
        Fail("written section not read back");
    ExpectUnchangedBut(before, after, name, std::string());
    return 0;
}
