#include "skin/TSkinData.h"

#include "skin/TSkin.h"
#include "skin/TSkinStyle.h"

#include <QApplication>
#include <QStyle>

namespace quillet {

TSkinData::TSkinData(skin::TSkinLoad load, QObject* parent)
    : QObject(parent)
    , SkinStream(std::move(load.Package))
    , SkinRecords(std::move(load.Skin))
    , Problem(std::move(load.Problem))
{
    if (SkinRecords == nullptr
        || qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return;
    PreviousStyle = QApplication::style()->name();
    auto* style = new skin::TSkinStyle(SkinRecords, SkinControls, DisableTag);
    Style = style;
    QApplication::setStyle(style);
}

TSkinData::~TSkinData()
{
    if (Style != nullptr && QCoreApplication::instance() != nullptr
        && QApplication::style() == Style.data())
        QApplication::setStyle(PreviousStyle);
}

const skin::TSkinStyle* TSkinData::SkinStyle() const
{
    return static_cast<const skin::TSkinStyle*>(Style.data());
}

void TSkinData::SkinWindowByHandle(QWidget* window)
{
    if (!Active() || window == nullptr)
        return;
    window->ensurePolished();
    for (QWidget* child : window->findChildren<QWidget*>())
        child->ensurePolished();
}

} // namespace quillet
