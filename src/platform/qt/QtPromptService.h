#pragma once

#include "platform/PromptService.h"

#include <QMessageBox>

#include <deque>
#include <memory>

namespace quillet {

// Questions and messages as Qt message boxes, parented to no window so that they also work
// while every window of the program is hidden. The modal ones run their own loop; the
// background ones wait in a queue and are shown one at a time without activation, with an
// attention request (a flashing taskbar entry, an urgent window).
class TQtPromptService final : public IPromptService {
public:
    TQtPromptService();
    ~TQtPromptService() override;
    TQtPromptService(const TQtPromptService&) = delete;
    TQtPromptService& operator=(const TQtPromptService&) = delete;

    TAnswer AskYesNoCancel(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void AskInBackground(const std::string& text, std::function<void(TAnswer)> answered) override;
    void ShowInBackground(const std::string& text, TNotice kind) override;

    // The background box on screen, or null (for tests).
    QMessageBox* BackgroundBox() const { return Shown; }

private:
    struct TBackgroundItem {
        QMessageBox::Icon Icon;
        QString Title;
        QString Text;
        QMessageBox::StandardButtons Buttons;
        std::function<void(TAnswer)> Answered;
    };

    void ShowNext();
    void Finished(int button);

    std::deque<TBackgroundItem> Waiting;
    QMessageBox* Shown = nullptr; // until it is answered
    std::function<void(TAnswer)> ShownAnswered;
    bool Busy = false; // a box is shown or its answer is being acted on
    // Guards the callbacks of boxes that may still be deleted after this service.
    std::shared_ptr<bool> Alive;
};

} // namespace quillet
