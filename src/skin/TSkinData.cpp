#include "skin/TSkinData.h"

#include "skin/TSkin.h"
#include "skin/TSkinStyle.h"

#include <QApplication>
#include <QStyle>

namespace quillet {

TSkinData::TSkinData(std::shared_ptr<const skin::TSkin> skin, QByteArray package, QObject* parent)
    : QObject(parent)
    , SkinStream(std::move(package))
    , SkinRecords(std::move(skin))
{
    if (SkinRecords == nullptr
        || qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return;
    PreviousStyle = QApplication::style()->name();
    Style = new skin::TSkinStyle(SkinRecords, SkinControls, DisableTag);
    // The application owns the style from here on.
    QApplication::setStyle(Style.data());
}

TSkinData::~TSkinData()
{
    if (Style != nullptr && QCoreApplication::instance() != nullptr
        && QApplication::style() == Style.data())
        QApplication::setStyle(PreviousStyle);
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
