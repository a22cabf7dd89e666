#include "net/CallFailure.h"

#include "net/SocketErrors.h"

#include <charconv>

namespace quillet {
namespace {

bool IsPortNumber(const std::string& port)
{
    int value = 0;
    const char* end = port.data() + port.size();
    const auto [at, error] = std::from_chars(port.data(), end, value);
    return error == std::errc() && at == end && value >= 1 && value <= 65535;
}

// "20 seconds", "1 second", "0.3 seconds": to a tenth, which is all a test's short time-out
// needs.
std::string Duration(std::int32_t ms)
{
    const std::int32_t tenths = (ms + 50) / 100;
    if (tenths == 10)
        return "1 second";
    std::string seconds = std::to_string(tenths / 10);
    if (tenths % 10 != 0)
        seconds += "." + std::to_string(tenths % 10);
    return seconds + " seconds";
}

} // namespace

std::string CallFailureReason(
    std::int32_t code, const std::string& address, const std::string& port, std::int32_t timeoutMs)
{
    switch (code) {
    case sockerr::NoError:
    case sockerr::NotSocket: // the user's Disconnect: nothing to explain
        return {};
    case sockerr::ConnectionRefused:
        return "The other computer refused the call: nothing answers on port " + port + ".";
    case sockerr::TimedOut:
        if (timeoutMs > 0)
            return "No answer from " + address + " within " + Duration(timeoutMs) + ".";
        return "No answer from " + address + ".";
    case sockerr::NetworkDown:
    case sockerr::NetworkUnreachable:
    case sockerr::HostUnreachable:
        return "The network cannot reach " + address + ".";
    case sockerr::HostNotFound:
    case sockerr::NoData:
    case sockerr::TryAgain:
    case sockerr::NoRecovery:
        // The resolver also fails for a port it cannot read, which is no fault of the name.
        if (!IsPortNumber(port))
            return "\"" + port + "\" is not a port number (a whole number from 1 to 65535).";
        if (code == sockerr::TryAgain || code == sockerr::NoRecovery)
            return "The host name \"" + address
                + "\" could not be found: the name service did not answer.";
        return "The host name \"" + address + "\" could not be found.";
    default:
        return "The call failed: " + SocketErrorDesc(code) + ".";
    }
}

} // namespace quillet
