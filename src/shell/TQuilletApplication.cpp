#include "shell/TQuilletApplication.h"

#include "platform/qt/QtPromptService.h"
#include "shell/ErrorBox.h"

namespace quillet {

TQuilletApplication::TQuilletApplication(int& argc, char** argv)
    : QApplication(argc, argv)
    , OwnPrompts(std::make_unique<TQtPromptService>())
    , Prompts(OwnPrompts.get())
{
}

TQuilletApplication::~TQuilletApplication() = default;

void TQuilletApplication::SetPromptService(IPromptService* prompts)
{
    Prompts = prompts != nullptr ? prompts : OwnPrompts.get();
}

IPromptService& TQuilletApplication::PromptService() const
{
    return *Prompts;
}

bool TQuilletApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // Every event, also those of a dialog's own loop, passes through here, so this is the one
        // place where a failed handler can be reported without ending the program.
        ShowErrorBox(*Prompts, std::current_exception());
        return false;
    }
}

void TQuilletApplication::RunHandler(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (...) {
        if (auto* app = dynamic_cast<TQuilletApplication*>(QCoreApplication::instance())) {
            ShowErrorBox(app->PromptService(), std::current_exception());
        } else {
            TQtPromptService boxes;
            ShowErrorBox(boxes, std::current_exception());
        }
    }
}

} // namespace quillet
