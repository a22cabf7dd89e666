#include "shell/ErrorBox.h"

#include "platform/ExceptionText.h"

#include <stdexcept>

namespace quillet {

std::string ErrorBoxText(std::string_view message)
{
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        text += '.';
    return text;
}

void ShowErrorBox(IPromptService& prompts, const std::exception_ptr& error)
{
    const std::string message = ExceptionText(error);
    try {
        prompts.ShowError(ErrorBoxText(message));
    } catch (...) {
        // The box is the last resort; a failure to show it must not end the program.
    }
}

} // namespace quillet
