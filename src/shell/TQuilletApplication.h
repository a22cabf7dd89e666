#pragma once

#include "platform/PromptService.h"

#include <QApplication>

#include <functional>
#include <memory>

namespace quillet {

// The application object. An exception that escapes any event handler ends up here: it is shown
// in the error box (caption "Quillet", error icon) and the program goes on with the next event.
class TQuilletApplication final : public QApplication {
public:
    TQuilletApplication(int& argc, char** argv);
    ~TQuilletApplication() override;

    // Where the error box goes; not owned. Null restores the built-in message boxes.
    void SetPromptService(IPromptService* prompts);
    IPromptService& PromptService() const;

    bool notify(QObject* receiver, QEvent* event) override;

    // Runs a handler and shows an exception escaping it in the error box at once. Handlers that
    // are expected to fail (a settings write) go through here, so that the exception never
    // unwinds through Qt's own frames, which are not built for it; notify stays the net for the
    // rest. Uses the message boxes when the application object is not a TQuilletApplication.
    static void RunHandler(const std::function<void()>& handler);

private:
    std::unique_ptr<IPromptService> OwnPrompts;
    IPromptService* Prompts;
};

} // namespace quillet
