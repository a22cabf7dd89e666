#include "chatui/TChatForm.h"

namespace quillet {

TChatForm::TChatForm(QWidget* parent) : QWidget(parent)
{
    setWindowTitle("Chat");
}

void TChatForm::SetMainFormHooks(std::function<bool()>, std::function<void()>) {}

int TChatForm::TabCount() const
{
    return 0;
}

} // namespace quillet
