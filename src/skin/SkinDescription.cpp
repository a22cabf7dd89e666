#include "skin/SkinDescription.h"

#include "skin/TQuickIni.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>

namespace quillet::skin {
namespace {

// The colour names a "Colours" section may set, in the order they are applied.
constexpr std::array<std::string_view, 16> ColourNames
    = { "ButtonFace", "ButtonText", "ButtonHilight", "ButtonLight", "ButtonShadow",
          "ButtonDkShadow", "Window", "WindowText", "Highlight", "HighlightText", "GrayText",
          "InfoWindow", "InfoText", "HotLight", "TitleTextActive", "TitleTextNoActive" };

// The pane's bands also decide how far the tabs reach over it.
constexpr int MaxTabPaneBand = 4;

TSkinPart ReadPart(const TQuickIni& ini, TSkinPartKind kind, const TBitmapLookup& bitmaps)
{
    TSkinPart part;
    const std::string_view section = SectionOf(kind);
    const std::string image = ini.LookupText(section, "Image", "");
    if (image.empty())
        return part;
    part.Image = bitmaps(image);
    const int limit = kind == TSkinPartKind::TabPane ? MaxTabPaneBand : 1 << 16;
    const auto band = [&](std::string_view key) {
        return std::clamp(ini.ReadNumber(section, key, 0), 0, limit);
    };
    part.Margins
        = QMargins(band("LeftWidth"), band("TopHeight"), band("RightWidth"), band("BottomHeight"));
    part.FrameCount = std::max(1, ini.ReadNumber(section, "Frame", 1));
    part.Trans = ini.ReadNumber(section, "Trans", 0) != 0;
    part.Tile = ini.ReadNumber(section, "Tile", 0) == 1;
    part.Style = ini.ReadNumber(section, "Style", 0);
    const auto colour
        = [&](std::string_view key) { return ParseSkinColour(ini.LookupText(section, key, "")); };
    part.NormalColour = colour("NormalColour");
    part.MouseOverColour = colour("MouseOverColour");
    part.PressedColour = colour("PressedColour");
    part.NormalColour2 = colour("NormalColour2");
    part.MouseOverColour2 = colour("MouseOverColour2");
    part.PressedColour2 = colour("PressedColour2");
    return part;
}

} // namespace

QColor ParseSkinColour(std::string_view text)
{
    std::array<int, 3> values {};
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (int& value : values) {
        while (at != end && (*at == ' ' || *at == '\t'))
            ++at;
        const auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc() || next == at || value < 0 || value > 255)
            return {};
        at = next;
    }
    while (at != end && (*at == ' ' || *at == '\t'))
        ++at;
    if (at != end)
        return {};
    return QColor(values[0], values[1], values[2]);
}

TSkin ReadSkinDescription(const TQuickIni& description, const TBitmapLookup& bitmaps)
{
    TSkin skin;
    skin.Name = description.LookupText("TitlebarSkin", "SkinName", "");
    skin.Version = description.ReadNumber("Skins", "Version", 0);
    skin.FontHeight = description.ReadNumber("Fonts", "FontHeight", 14);
    for (std::size_t i = 0; i < SkinPartCount; ++i) {
        const auto kind = static_cast<TSkinPartKind>(i);
        skin.Part(kind) = ReadPart(description, kind, bitmaps);
    }
    for (const std::string_view name : ColourNames) {
        const QColor colour = ParseSkinColour(description.LookupText("Colours", name, ""));
        if (colour.isValid())
            skin.Colours.emplace_back(std::string(name), colour);
    }
    return skin;
}

} // namespace quillet::skin
