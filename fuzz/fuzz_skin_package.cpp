// Feeds the skin package reader arbitrary containers, and arbitrary expanded packages wrapped in
// a valid container so that the fuzzer reaches the header, name table and size table checks.
// Checks that a refused package says why on one line and keeps no entry, that an accepted one
// keeps its entries inside its bytes, and runs every lookup and the description reader on it.
//
// Input layout: byte 0 = mode (even: the rest is a container; odd: the rest is an expanded
// package, encoded here).

#include "skin/Lzhuf.h"
#include "skin/SkinText.h"
#include "skin/TQuickIni.h"
#include "skin/TSkinPackage.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace quillet::skin;

[[noreturn]] void Fail(const char* what, const std::string& detail = {})
{
    std::fprintf(stderr, "fuzz_skin_package: %s %s\n", what, detail.c_str());
    std::abort();
}

std::vector<std::uint8_t> Container(std::span<const std::uint8_t> package)
{
    const std::vector<std::uint8_t> code = LzhufEncode(package);
    std::vector<std::uint8_t> c;
    text::AppendInt32(c, static_cast<std::int32_t>(4 + code.size()));
    text::AppendInt32(c, static_cast<std::int32_t>(package.size()));
    c.insert(c.end(), code.begin(), code.end());
    return c;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    const std::vector<std::uint8_t> container
        = data[0] % 2 == 0 ? std::vector<std::uint8_t>(rest.begin(), rest.end()) : Container(rest);

    TSkinPackage package;
    if (!package.ReadPackage(container)) {
        if (package.Fault() == TPackageFault::None || package.FaultText().empty()
            || package.FaultText().find('\n') != std::string::npos)
            Fail("refused without a one-line reason", package.FaultText());
        if (package.EntryCount() != 0)
            Fail("a refused package kept entries");
        return 0;
    }
    if (package.Fault() != TPackageFault::None || !package.FaultText().empty())
        Fail("accepted with a fault");

    std::vector<std::uint8_t> entry;
    for (std::size_t i = 0; i < package.EntryCount(); ++i) {
        const std::string& name = package.EntryName(i);
        if (text::AsciiLower(name) != name)
            Fail("a name kept capitals", name);
        std::size_t first = 0;
        while (package.EntryName(first) != name)
            ++first;
        package.EntryByName(name, entry);
        if (!std::ranges::equal(entry, package.EntryBytes(first)))
            Fail("the entry found is not the first of its name", name);
        package.BitmapEntry(name, entry);
    }
    const std::string description = package.EntryByFragment(".ini", entry);
    TQuickIni ini;
    ini.LoadText(text::AsText(entry));
    for (const std::string& section : ini.SectionNames())
        package.BitmapEntry(ini.LookupText(section, "Image", ""), entry);
    return 0;
}
