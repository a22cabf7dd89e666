#pragma once

#include "skin/SkinParts.h"
#include "skin/TSkinPart.h"

#include <QColor>
#include <QPalette>

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace quillet::skin {

// A loaded skin: its name, the record of every part, and the colours it sets. Built once from
// the description; painting only reads it.
class TSkin {
public:
    std::string Name;
    // "Version" in section "Skins".
    int Version = 0;
    // "FontHeight" in section "Fonts".
    int FontHeight = 14;
    // The "Colours" section in file order: a system colour name and its colour.
    std::vector<std::pair<std::string, QColor>> Colours;

    const TSkinPart& Part(TSkinPartKind kind) const
    {
        return Parts[static_cast<std::size_t>(kind)];
    }
    TSkinPart& Part(TSkinPartKind kind) { return Parts[static_cast<std::size_t>(kind)]; }

    // `base` with the skin's colours set on it. The names are the system colour names of a skin
    // description ("ButtonFace", "Highlight", ...); names without a palette role are kept as data
    // only (the window manager draws the captions).
    QPalette Palette(const QPalette& base) const;

private:
    std::array<TSkinPart, SkinPartCount> Parts;
};

} // namespace quillet::skin
