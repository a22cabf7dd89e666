#include "shell/CommandLine.h"

#include <algorithm>

namespace quillet {

namespace {

// Qt's case-insensitive comparison folds Unicode: it would take the long s or the Kelvin sign
// for plain letters. The switch is an ASCII word, so fold ASCII only.
char16_t AsciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool IsShowWord(const QString& argument)
{
    static constexpr char16_t Word[] = u"show";
    if (argument.size() != 4)
        return false;
    for (qsizetype i = 0; i < 4; ++i) {
        if (AsciiLower(argument.at(i).unicode()) != Word[i])
            return false;
    }
    return true;
}

} // namespace

bool HasShowArgument(const QStringList& arguments)
{
    return std::any_of(arguments.begin(), arguments.end(), IsShowWord);
}

} // namespace quillet
