#pragma once

#include "skin/TSkin.h"

#include <QColor>
#include <QImage>

#include <functional>
#include <string_view>

namespace quillet::skin {

class TQuickIni;

// The bitmap a description value ("Image=...") names, or a null image.
using TBitmapLookup = std::function<QImage(std::string_view value)>;

// Reads a skin description into the skin's records, once: the skin's name ("SkinName" in
// "TitlebarSkin"), "Version" in "Skins", "FontHeight" in "Fonts", every part section, and the
// "Colours" section. A part section without "Image", or whose image does not load, leaves the
// part unskinned. Numbers follow the description's rules: a missing "Frame" or one below 1
// counts as 1, negative band sizes as 0, "Tile" other than 1 as 0, and the bands of "Tab.Pane"
// are at most 4 pixels.
TSkin ReadSkinDescription(const TQuickIni& description, const TBitmapLookup& bitmaps);

// A colour written as three decimal numbers 0 to 255 (red, green, blue) separated by blanks;
// invalid for anything else.
QColor ParseSkinColour(std::string_view text);

} // namespace quillet::skin
