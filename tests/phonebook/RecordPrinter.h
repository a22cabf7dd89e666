#pragma once

#include "phonebook/TUserRecordType.h"

#include <ostream>

namespace quillet {

// Contacts in test failures as text rather than bytes.
inline void PrintTo(const TUserRecordType& user, std::ostream* os)
{
    *os << '{' << user.Name << " | " << user.IPAddress << " | " << user.Port << " | "
        << static_cast<unsigned>(user.Style) << '}';
}

} // namespace quillet
