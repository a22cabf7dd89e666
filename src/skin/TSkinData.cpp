#include "skin/TSkinData.h"

namespace quillet {

TSkinData::TSkinData(QObject* parent)
    : QObject(parent)
{
}

void TSkinData::SkinWindowByHandle(QWidget* window)
{
    if (!IsActive || window == nullptr)
        return;
    // The engine has no painter yet; an active engine would install its style here.
}

} // namespace quillet
