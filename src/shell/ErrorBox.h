#pragma once

#include "platform/PromptService.h"

#include <exception>
#include <string>
#include <string_view>

namespace quillet {

// The text of the error box for an error message: a full stop is added when the message ends in
// a character that sorts after "." (so "failed" gains one, "failed." and "failed!" do not).
// Bytes are compared unsigned, so a message ending in any non-ASCII UTF-8 character gains one.
std::string ErrorBoxText(std::string_view message);

// Shows the error box for an exception that escaped a handler. Never throws.
void ShowErrorBox(IPromptService& prompts, const std::exception_ptr& error);

} // namespace quillet
