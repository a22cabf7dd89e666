// Feeds the skin description reader arbitrary text and looks up every section with keys taken
// from the text itself. Checks that a found value is trimmed, non-empty and holds no line end,
// and that a number is only read where a value exists.

#include "skin/SkinText.h"
#include "skin/TQuickIni.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail = {})
{
    std::fprintf(stderr, "fuzz_quick_ini: %s %s\n", what, detail.c_str());
    std::abort();
}

// Up to 16 candidate keys: the text before each '=' in the input.
std::vector<std::string> KeysOf(std::string_view text)
{
    std::vector<std::string> keys = { "Image", "" };
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < text.size() && keys.size() < 16; ++i) {
        if (text[i] == '\n' || text[i] == '\r')
            lineStart = i + 1;
        else if (text[i] == '=')
            keys.emplace_back(quillet::skin::text::Trim(text.substr(lineStart, i - lineStart)));
    }
    return keys;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillet::skin;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    TQuickIni ini;
    ini.LoadText(input);
    const std::vector<std::string> keys = KeysOf(input);
    std::vector<std::string> sections = ini.SectionNames();
    sections.emplace_back("no such section");
    for (const std::string& section : sections) {
        for (const std::string& key : keys) {
            const std::string value = ini.LookupText(section, key, "\x01");
            if (value == "\x01") {
                if (ini.ReadNumber(section, key, 12345) != 12345)
                    Fail("a number without a value", key);
                continue;
            }
            if (value.empty() || text::Trim(value) != value
                || value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
                Fail("a value that is empty, untrimmed or holds a line end", value);
            ini.ReadNumber(section, key, 0);
        }
    }
    return 0;
}
