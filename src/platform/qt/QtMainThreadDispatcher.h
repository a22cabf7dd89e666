#pragma once

#include "platform/MainThreadDispatcher.h"

#include <QObject>

namespace quillet {

// Main-thread dispatch through the Qt event loop. Construct it on the main thread.
class TQtMainThreadDispatcher final : public QObject, public IMainThreadDispatcher {
public:
    TQtMainThreadDispatcher();

    void RunOnMainThread(const std::function<void()>& fn) override;
    void Post(std::function<void()> fn) override;
    bool IsMainThread() const override;
};

} // namespace quillet
