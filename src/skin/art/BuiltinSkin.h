#pragma once

#include <QColor>
#include <QImage>
#include <QMargins>
#include <QString>

#include <string>
#include <utility>
#include <vector>

namespace quillet::skin::art {

// One part of the built-in skin: its bitmap, drawn here, and the keys of its description
// section.
struct TArtPart {
    std::string Section;
    std::string File;
    QImage Image;
    QMargins Margins;
    int Frames = 1;
    bool Trans = false;
    // What each frame shows, for the reader of the description.
    std::string FrameNote;
    QColor NormalColour;
    QColor MouseOverColour;
    QColor PressedColour;
    QColor NormalColour2;
};

struct TArtSkin {
    std::string Name;
    std::vector<TArtPart> Parts;
    std::vector<std::pair<std::string, QColor>> Colours;
};

// Quillet's own skin: calm light controls with a teal accent, drawn entirely in code.
TArtSkin BuiltinSkin();

// The skin description (an INI text, CR LF line ends) naming every part and its bitmap.
std::string DescriptionText(const TArtSkin& skin);

// Writes every bitmap and the description "quillet.ini" into `folder`. False, with `error`
// saying which file, when one cannot be written.
bool WriteSkin(const TArtSkin& skin, const QString& folder, std::string& error);

} // namespace quillet::skin::art
