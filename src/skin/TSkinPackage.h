#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::skin {

enum class TPackageFault {
    None,
    // A well-formed package of another version.
    WrongVersion,
    // The bytes are not a package: a number in them points outside the data, or the code stream
    // ends too early.
    Damaged,
};

// A skin package, expanded and checked, with its entries found by name.
//
// Stored container (numbers 32-bit little-endian, signed):
//   count            bytes that follow
//   expanded size    bytes of the package after expansion
//   code stream      the package, LZHUF-coded
// Package:
//   version          20000
//   L                length of the name table in bytes
//   8 bytes          reserved, not read
//   name table       L bytes: the entry names, each followed by a line break
//   size table       one size per name
//   data area        the entries back to back, in name order
//
// Every number is treated as outside input: each is checked against the bytes that are really
// there before anything is read, and a package that fails a check is refused whole.
class TSkinPackage {
public:
    static constexpr std::int32_t PackageVersion = 20000;
    // Larger packages are refused before anything is expanded. Real skins are well under 1 MiB.
    static constexpr std::int32_t MaxExpandedSize = 64 * 1024 * 1024;
    // A name table of nothing but line breaks would otherwise make millions of entries out of a
    // small file. Real skins hold a few dozen.
    static constexpr std::size_t MaxEntries = 65536;
    // What the user is told about a package of another version.
    static constexpr std::string_view VersionMessage
        = "This is Older Skin File\nPlease update to new version !";

    // Expands and parses the container. False for a package of another version or damaged
    // bytes (Fault and FaultText tell which); the reader then holds no entries.
    bool ReadPackage(std::span<const std::uint8_t> container);

    TPackageFault Fault() const { return LastFault; }
    // One line saying what is wrong, empty after a successful read.
    const std::string& FaultText() const { return LastFaultText; }

    std::size_t EntryCount() const { return Names.size(); }
    // Names are lower case (ASCII letters), as the lookups compare them.
    const std::string& EntryName(std::size_t index) const { return Names[index]; }
    std::span<const std::uint8_t> EntryBytes(std::size_t index) const;

    // The index of the first entry called `name`, in any letter case.
    std::optional<std::size_t> FindEntry(std::string_view name) const;
    // The index of the first entry whose name contains `fragment`, in any letter case.
    std::optional<std::size_t> FindEntryByFragment(std::string_view fragment) const;
    // The index of the bitmap a description value names: the value's file name without any
    // folder, looked up with FindEntry when its extension is ".bmp"; none otherwise.
    std::optional<std::size_t> FindBitmapEntry(std::string_view value) const;

    // The first entry called `name`, in any letter case; `target` is left empty when none is.
    void EntryByName(std::string_view name, std::vector<std::uint8_t>& target) const;
    // The first entry whose name contains `fragment` (in any letter case) into `target`, and
    // its name; an empty name and an empty target when none does.
    std::string EntryByFragment(std::string_view fragment, std::vector<std::uint8_t>& target) const;
    // The bytes of the bitmap FindBitmapEntry finds (the whole bitmap file); `target` stays
    // empty when it finds none, and when that entry is empty.
    void BitmapEntry(std::string_view value, std::vector<std::uint8_t>& target) const;

private:
    void ClearEntries();
    // `target` := the bytes of the entry at `index`; empty for none.
    void CopyEntry(std::optional<std::size_t> index, std::vector<std::uint8_t>& target) const;
    bool Parse(std::span<const std::uint8_t> container);
    bool Refuse(TPackageFault fault, std::string text);

    std::vector<std::uint8_t> Expanded;
    std::vector<std::string> Names;
    // Where each entry starts in Expanded, and its size.
    std::vector<std::size_t> Offsets;
    std::vector<std::size_t> Sizes;
    TPackageFault LastFault = TPackageFault::None;
    std::string LastFaultText;
};

} // namespace quillet::skin
