#include "skin/TSkin.h"

#include <QByteArray>

namespace quillet::skin {
namespace {

struct TColourRoles {
    const char* Name;
    std::vector<QPalette::ColorRole> Roles;
};

// Windows system colour names as skins use them, and the palette roles they stand for.
const std::vector<TColourRoles>& ColourRoles()
{
    static const std::vector<TColourRoles> roles = {
        { "ButtonFace", { QPalette::Window, QPalette::Button } },
        { "ButtonText", { QPalette::ButtonText } },
        { "ButtonHilight", { QPalette::Light } },
        { "ButtonLight", { QPalette::Midlight } },
        { "ButtonShadow", { QPalette::Mid, QPalette::Dark } },
        { "ButtonDkShadow", { QPalette::Shadow } },
        { "Window", { QPalette::Base } },
        { "WindowText", { QPalette::WindowText, QPalette::Text } },
        { "Highlight", { QPalette::Highlight } },
        { "HighlightText", { QPalette::HighlightedText } },
        { "InfoWindow", { QPalette::ToolTipBase } },
        { "InfoText", { QPalette::ToolTipText } },
        { "HotLight", { QPalette::Link } },
    };
    return roles;
}

} // namespace

QPalette TSkin::Palette(const QPalette& base) const
{
    QPalette palette = base;
    for (const auto& [name, colour] : Colours) {
        if (!colour.isValid())
            continue;
        const QByteArray key = QByteArray::fromStdString(name);
        if (key.compare("GrayText", Qt::CaseInsensitive) == 0) {
            for (const auto role : { QPalette::WindowText, QPalette::Text, QPalette::ButtonText })
                palette.setColor(QPalette::Disabled, role, colour);
            continue;
        }
        for (const TColourRoles& entry : ColourRoles()) {
            if (key.compare(entry.Name, Qt::CaseInsensitive) != 0)
                continue;
            for (const QPalette::ColorRole role : entry.Roles) {
                // Disabled text keeps its own colour ("GrayText").
                const bool text = role == QPalette::WindowText || role == QPalette::Text
                    || role == QPalette::ButtonText;
                if (text) {
                    palette.setColor(QPalette::Active, role, colour);
                    palette.setColor(QPalette::Inactive, role, colour);
                } else {
                    palette.setColor(role, colour);
                }
            }
        }
    }
    return palette;
}

} // namespace quillet::skin
