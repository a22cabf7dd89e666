#include "shell/ErrorBox.h"

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
    std::string message = "Unexpected error";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
    }
    try {
        prompts.ShowError(ErrorBoxText(message));
    } catch (...) {
        // The box is the last resort; a failure to show it must not end the program.
    }
}

} // namespace quillet
