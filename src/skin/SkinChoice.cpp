#include "skin/SkinChoice.h"

#include "skin/SkinText.h"

#include <QByteArray>

namespace quillet::skin {

TSkinChoice SkinChoiceFromSetting(std::string_view value, const std::filesystem::path& baseFolder)
{
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!value.empty() && blank(value.front()))
        value.remove_prefix(1);
    while (!value.empty() && blank(value.back()))
        value.remove_suffix(1);
    if (value.empty())
        return {};
    if (text::EqualsNoCase(value, "none"))
        return { TSkinChoice::TKind::None, {} };

    std::filesystem::path file(value);
    // "~/" is the home folder, as in a shell.
    const QByteArray home = qgetenv("HOME");
    if (value.starts_with("~/") && !home.isEmpty())
        file = std::filesystem::path(home.toStdString()) / value.substr(2);
    else if (file.is_relative())
        file = baseFolder / file;
    return { TSkinChoice::TKind::File, file.lexically_normal() };
}

} // namespace quillet::skin
