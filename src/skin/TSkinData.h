#pragma once

#include "skin/SkinControls.h"
#include "skin/SkinLoader.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStyle>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace quillet {

namespace skin {
class TSkinStyle;
} // namespace skin

// The skin engine as the rest of the program sees it, placed on the main window as SkinData1.
// While Active, the skin's style is the application's style: every window and control, also
// those made later, is painted from the skin, apart from widgets carrying DisableTag in their
// "tag" property. When it goes, the style the application had before comes back.
class TSkinData final : public QObject {
public:
    enum class TSkinFormtype { sfMainform };

    // Paints the program with the loaded skin; without one the program stays native (Active
    // false). The package the skin came from is kept as SkinStream.
    explicit TSkinData(skin::TSkinLoad load, QObject* parent = nullptr);
    ~TSkinData() override;

    bool Active() const { return Style != nullptr; }
    // Applies the skin to a window made after start-up, with all its controls, before their first
    // layout: the skin's sizes (indicators, frames) are then the ones the layout sees. Does
    // nothing when the skin is not active.
    void SkinWindowByHandle(QWidget* window);

    const skin::TSkin* Skin() const { return SkinRecords.get(); }
    // What the user is to be told at start about the skin that was asked for; empty when
    // nothing went wrong.
    const std::string& LoadProblem() const { return Problem; }
    // The style painting the program, or null when the skin is not active.
    const skin::TSkinStyle* SkinStyle() const;

    // Settings of the engine, with the values the program sets.
    const int DisableTag = 99;
    const skin::TSkinControls SkinControls = skin::TSkinControls::All();
    // No option is set.
    const std::vector<std::string> Options;
    // Control classes of other component libraries mapped onto skin kinds. None of them occurs
    // in this program, so the list has no effect.
    const std::vector<std::string> Skin3rd
        = { "TComboboxex=combobox", "TControlBar=Panel", "TcxButton=bitbtn" };
    const TSkinFormtype SkinFormtype = TSkinFormtype::sfMainform;
    const bool MenuUpdate = true;
    const bool MenuMerge = false;
    // The skin package in its stored form.
    const QByteArray SkinStream;

private:
    std::shared_ptr<const skin::TSkin> SkinRecords;
    std::string Problem;
    // Owned by the application once installed.
    QPointer<QStyle> Style;
    QString PreviousStyle;
};

} // namespace quillet
