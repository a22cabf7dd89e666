#pragma once

#include "net/ChatStyle.h"

#include <string>

namespace quillet {

// One contact of the phonebook. `Name` is the key: shown in the contact list, looked up byte for
// byte (letter case matters) and written as the entry's key in settings.ini. `IPAddress` and
// `Port` are kept as typed and handed to the dial unchecked. `Style` is the style a dialed
// conversation starts in; a hand-edited file can hold any byte here, which is kept as it is.
struct TUserRecordType {
    TUserRecordType(std::string name, std::string ipAddress, std::string port, TChatStyle style)
        : Name(std::move(name))
        , IPAddress(std::move(ipAddress))
        , Port(std::move(port))
        , Style(style)
    {
    }

    bool operator==(const TUserRecordType&) const = default;

    std::string Name;
    std::string IPAddress;
    std::string Port;
    TChatStyle Style;
};

} // namespace quillet
