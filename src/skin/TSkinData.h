#pragma once

#include <QObject>
#include <QWidget>

namespace quillet {

// The skin engine as the rest of the program sees it: whether skinning is on, and the call that
// applies the skin to a window made after start-up. Until the engine paints anything, Active
// reads false and SkinWindowByHandle leaves the window as it is.
class TSkinData final : public QObject {
public:
    explicit TSkinData(QObject* parent = nullptr);

    bool Active() const { return IsActive; }
    void SkinWindowByHandle(QWidget* window);

private:
    bool IsActive = false;
};

} // namespace quillet
