#pragma once

#include <filesystem>
#include <string_view>

namespace quillet::skin {

// Which skin the program paints with, as the user chose it in the settings.
struct TSkinChoice {
    enum class TKind {
        // The skin that comes with the program.
        BuiltIn,
        // No skin: the program looks native.
        None,
        // A skin package file.
        File,
    };
    TKind Kind = TKind::BuiltIn;
    std::filesystem::path File;

    bool operator==(const TSkinChoice&) const = default;
};

// The choice a "Skin file" setting makes: empty (or missing) for the built-in skin, "none" in
// any letter case for no skin, otherwise the path of a package file: "~/" at its start is the
// home folder, and a relative path is taken from `baseFolder`, the folder of the settings file.
// Blanks around the value do not count.
TSkinChoice SkinChoiceFromSetting(std::string_view value, const std::filesystem::path& baseFolder);

} // namespace quillet::skin
