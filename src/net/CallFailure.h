#pragma once

#include <cstdint>
#include <string>

namespace quillet {

// Why a dialed call did not connect, in plain words for the user: one line for the transcript,
// written after "Disconnected". `code` is the error the connect attempt ended with, `address`
// and `port` are as dialed, `timeoutMs` is the time the attempt was given. Empty when there is
// nothing to explain: no error, or the user called the attempt off.
std::string CallFailureReason(
    std::int32_t code, const std::string& address, const std::string& port, std::int32_t timeoutMs);

} // namespace quillet
