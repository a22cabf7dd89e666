#pragma once

#include "nearby/NearbyService.h"

#include <string_view>

// Where a person nearby says they can be called, weighed before it is shown or compared with
// the phonebook. The address and port come from whoever announced them.
namespace quillet::nearby {

// Whether a call there could reach another computer: a port other than 0 and a numeric unicast
// address. Not listed: this computer (loopback, 127.0.0.0/8 and ::1), "this network" and the
// unspecified address (0.0.0.0/8, ::), multicast groups (224.0.0.0/4, ff00::/8), and the reserved
// block with the broadcast address (240.0.0.0/4, 255.255.255.255); an IPv4 address written as
// IPv6 (::ffff:a.b.c.d) is weighed as IPv4.
bool IsCallable(const TNearbyEndpoint& endpoint);

// Whether a contact stored with `address` and `port` is called where the endpoint is: the same
// port, and the same numeric address or the computer's name as announced (letter case and a
// final dot aside).
bool Reaches(const TNearbyEndpoint& endpoint, std::string_view address, std::string_view port);

} // namespace quillet::nearby
