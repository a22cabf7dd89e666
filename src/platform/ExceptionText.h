#pragma once

#include <exception>
#include <string>

namespace quillet {

// The text that reports an exception: the message of a standard exception, "Unexpected error"
// for anything else.
inline std::string ExceptionText(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
    }
    return "Unexpected error";
}

} // namespace quillet
