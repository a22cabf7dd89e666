#pragma once

#include <QWidget>

#include <functional>

namespace quillet {

// The chat window: one tab per conversation.
class TChatForm : public QWidget {
public:
    explicit TChatForm(QWidget* parent = nullptr);

    // The main window's part: its ExitRequested flag and its CloseAllChats operation.
    void SetMainFormHooks(std::function<bool()> exitRequested, std::function<void()> closeAllChats);

    int TabCount() const;
};

} // namespace quillet
