#include "nearby/NearbyText.h"

#include "platform/VisibleName.h"
#include "settings/Settings.h"

namespace quillet::nearby {

std::string ShownName(std::string_view announced)
{
    return text::VisibleName(announced, text::TInvalidUtf8::Replace, MaxShownNameBytes);
}

std::string InstanceNameFor(std::string_view ownName)
{
    // Invalid bytes in the own name are a damaged settings file, not something to announce.
    std::string name = text::VisibleName(ownName, text::TInvalidUtf8::Drop, MaxInstanceNameBytes);
    if (name.empty())
        name = settings::DefaultUserName;
    return name;
}

} // namespace quillet::nearby
