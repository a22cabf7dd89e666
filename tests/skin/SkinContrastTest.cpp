// Every text the built-in skin draws can be read at a glance: its colour stands at least 4.5:1
// against every pixel it covers. The texts are drawn by the skin's style from the skin's own
// colours and bitmaps, as the program draws them, so a change of either cannot undo this.

#include "skin/BuiltinSkinPackage.h"
#include "skin/SkinLoader.h"
#include "skin/TSkinStyle.h"
#include "support/Contrast.h"

#include <QPainter>
#include <QStyleOption>
#include <QTabBar>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace quillet::skin {
namespace {

using quillet::testing::ContrastRatio;
using quillet::testing::ControlContrast;
using quillet::testing::MeasureText;
using quillet::testing::TextContrast;
using quillet::testing::TTextMeasure;
using State = QStyle::State;

constexpr State Enabled = QStyle::State_Enabled;
// Where the tabs stand: the chat window's teal.
const QColor Teal(0x00, 0x80, 0x80);

using TDraw = std::function<void(QPainter&, const QString& text)>;

QImage Render(QSize size, const QColor& canvas, const TDraw& draw, const QString& text)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(canvas);
    QPainter painter(&image);
    QFont font = painter.font();
    font.setPixelSize(13);
    painter.setFont(font);
    draw(painter, text);
    return image;
}

TTextMeasure MeasureDrawnText(QSize size, const QColor& canvas, const TDraw& draw)
{
    return MeasureText(Render(size, canvas, draw, QString()),
        Render(size, canvas, draw, quillet::testing::MeasuringText()));
}

class SkinContrastTest : public ::testing::Test {
protected:
    SkinContrastTest()
    {
        const TSkinLoad load = LoadSkin({}, BuiltinSkinPackage());
        Skin = load.Skin;
        Style = std::make_unique<TSkinStyle>(Skin, TSkinControls::All(), 99);
        Palette = Style->standardPalette();
    }

    // `option` at `size` in `state`, with the skin's palette in the colour group of that state
    // (a disabled control's text is drawn from the disabled colours), showing `text`.
    template <class TOption>
    void Prepare(TOption& option, QSize size, State state, const QString& text) const
    {
        option.rect = QRect(QPoint(0, 0), size);
        option.state = state;
        option.palette = Palette;
        option.palette.setCurrentColorGroup(
            state & Enabled ? QPalette::Active : QPalette::Disabled);
        option.text = text;
    }

    // A tab of the chat window's tab strip in `state`; an ended conversation's tab is a disabled
    // one.
    TDraw Tab(State state) const
    {
        return [this, state](QPainter& p, const QString& text) {
            QStyleOptionTab option;
            Prepare(option, { 90, 26 }, state, text);
            option.shape = QTabBar::RoundedNorth;
            Style->drawControl(QStyle::CE_TabBarTabShape, &option, &p, nullptr);
            Style->drawControl(QStyle::CE_TabBarTabLabel, &option, &p, nullptr);
        };
    }

    std::shared_ptr<const TSkin> Skin;
    std::unique_ptr<TSkinStyle> Style;
    QPalette Palette;
};

TEST_F(SkinContrastTest, EveryTextTheSkinDrawsStandsOutFromWhatItCovers)
{
    const auto button = [this](State state) -> TDraw {
        return [this, state](QPainter& p, const QString& text) {
            QStyleOptionButton option;
            Prepare(option, { 80, 25 }, state, text);
            Style->drawControl(QStyle::CE_PushButton, &option, &p, nullptr);
        };
    };
    const auto menuItem = [this](State state) -> TDraw {
        return [this, state](QPainter& p, const QString& text) {
            QStyleOptionMenuItem option;
            Prepare(option, { 120, 24 }, state, text);
            option.menuItemType = QStyleOptionMenuItem::Normal;
            Style->drawPrimitive(QStyle::PE_PanelMenu, &option, &p, nullptr);
            Style->drawControl(QStyle::CE_MenuItem, &option, &p, nullptr);
        };
    };
    const auto checkBox = [this](State state) -> TDraw {
        return [this, state](QPainter& p, const QString& text) {
            QStyleOptionButton option;
            Prepare(option, { 100, 20 }, state | QStyle::State_Off, text);
            Style->drawControl(QStyle::CE_CheckBox, &option, &p, nullptr);
        };
    };
    const QColor face = Palette.color(QPalette::Window);
    const struct {
        const char* Name;
        QSize Size;
        QColor Canvas;
        TDraw Draw;
    } rows[] = {
        { "tab", { 90, 26 }, Teal, Tab(Enabled) },
        { "tab under the pointer", { 90, 26 }, Teal, Tab(Enabled | QStyle::State_MouseOver) },
        { "selected tab", { 90, 26 }, Teal, Tab(Enabled | QStyle::State_Selected) },
        { "tab asking for attention", { 90, 26 }, Teal, Tab(Enabled | QStyle::State_On) },
        { "ended tab", { 90, 26 }, Teal, Tab(State()) },
        { "ended tab under the pointer", { 90, 26 }, Teal, Tab(QStyle::State_MouseOver) },
        { "ended selected tab", { 90, 26 }, Teal, Tab(QStyle::State_Selected) },
        { "ended tab asking for attention", { 90, 26 }, Teal, Tab(QStyle::State_On) },
        { "button", { 80, 25 }, face, button(Enabled) },
        { "button under the pointer", { 80, 25 }, face, button(Enabled | QStyle::State_MouseOver) },
        { "pressed button", { 80, 25 }, face, button(Enabled | QStyle::State_Sunken) },
        { "focused button", { 80, 25 }, face, button(Enabled | QStyle::State_HasFocus) },
        { "disabled button", { 80, 25 }, face, button(State()) },
        { "menu item", { 120, 24 }, face, menuItem(Enabled) },
        { "lit menu item", { 120, 24 }, face, menuItem(Enabled | QStyle::State_Selected) },
        { "disabled menu item", { 120, 24 }, face, menuItem(State()) },
        { "check box", { 100, 20 }, face, checkBox(Enabled) },
        { "disabled check box", { 100, 20 }, face, checkBox(State()) },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        const TTextMeasure measure = MeasureDrawnText(row.Size, row.Canvas, row.Draw);
        ASSERT_TRUE(measure.Drawn);
        EXPECT_GE(measure.Contrast, TextContrast) << measure.Text.name().toStdString();
    }
}

TEST_F(SkinContrastTest, TextColoursOfThePaletteStandOutFromTheirBackgrounds)
{
    using R = QPalette::ColorRole;
    const struct {
        QPalette::ColorGroup Group;
        R Text;
        R Background;
    } rows[] = {
        { QPalette::Active, R::WindowText, R::Window },
        { QPalette::Active, R::Text, R::Base },
        { QPalette::Active, R::Text, R::AlternateBase },
        { QPalette::Active, R::ButtonText, R::Button },
        { QPalette::Active, R::HighlightedText, R::Highlight },
        { QPalette::Inactive, R::HighlightedText, R::Highlight },
        { QPalette::Active, R::ToolTipText, R::ToolTipBase },
        { QPalette::Active, R::Link, R::Base },
        { QPalette::Disabled, R::WindowText, R::Window },
        { QPalette::Disabled, R::Text, R::Base },
        { QPalette::Disabled, R::ButtonText, R::Button },
    };
    for (const auto& row : rows) {
        const QColor text = Palette.color(row.Group, row.Text);
        const QColor background = Palette.color(row.Group, row.Background);
        EXPECT_GE(ContrastRatio(text, background), TextContrast)
            << "group " << row.Group << ", role " << row.Text << " on " << row.Background << ": "
            << text.name().toStdString() << " on " << background.name().toStdString();
    }
}

TEST_F(SkinContrastTest, TheSelectedTabIsMarkedApartFromTheOthers)
{
    // Across the selected tab runs a band that stands 3:1 against the face of every other kind
    // of tab, as the parts of a control that show its state must.
    const QSize size(90, 26);
    const QImage selected = Render(size, Teal, Tab(Enabled | QStyle::State_Selected), QString());
    for (const State other : { Enabled, Enabled | QStyle::State_MouseOver, State() }) {
        const QImage image = Render(size, Teal, Tab(other), QString());
        std::vector<QRgb> pixels;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                if (QColor(image.pixel(x, y)) != Teal)
                    pixels.push_back(image.pixel(x, y));
            }
        }
        ASSERT_FALSE(pixels.empty());
        std::nth_element(pixels.begin(), pixels.begin() + pixels.size() / 2, pixels.end(),
            [](QRgb a, QRgb b) { return qGray(a) < qGray(b); });
        const QColor face = pixels[pixels.size() / 2];
        int bandRows = 0;
        for (int y = 0; y < size.height(); ++y) {
            int marked = 0;
            for (int x = 10; x < size.width() - 10; ++x)
                marked += ContrastRatio(selected.pixel(x, y), face) >= ControlContrast ? 1 : 0;
            bandRows += marked == size.width() - 20 ? 1 : 0;
        }
        EXPECT_GE(bandRows, 2) << "against the face " << face.name().toStdString() << " of state "
                               << other;
    }
}

} // namespace
} // namespace quillet::skin
