#include "SkinTestSupport.h"

#include "skin/TSkinStyle.h"

#include <QPainter>
#include <QStyleOption>
#include <QTabBar>
#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace quillet::skin {
namespace {

using testing::FrameColour;
using testing::SolidSkin;
using State = QStyle::State;

constexpr State Enabled = QStyle::State_Enabled;
constexpr State Hover = QStyle::State_MouseOver;
constexpr State Pressed = QStyle::State_Sunken;
constexpr State Focus = QStyle::State_HasFocus;
constexpr State On = QStyle::State_On;

const QRgb Background = qRgb(255, 255, 255);

QImage Render(QSize size, const std::function<void(QPainter&)>& draw)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Background);
    QPainter painter(&image);
    draw(painter);
    return image;
}

class SkinStyleTest : public ::testing::Test {
protected:
    TSkinStyle Style { SolidSkin(), TSkinControls::All(), 99 };
};

struct TStateCase {
    const char* Name;
    State Flags;
    int Frame;
};

std::string CaseName(const ::testing::TestParamInfo<TStateCase>& row)
{
    return row.param.Name;
}

class PushButtonStates : public SkinStyleTest, public ::testing::WithParamInterface<TStateCase> { };

TEST_P(PushButtonStates, ShowTheirFrame)
{
    QStyleOptionButton option;
    option.rect = QRect(0, 0, 60, 25);
    option.state = GetParam().Flags;
    option.text = QStringLiteral("Ok");
    const QImage image = Render({ 60, 25 },
        [&](QPainter& p) { Style.drawControl(QStyle::CE_PushButton, &option, &p, nullptr); });
    const QRgb expected = FrameColour(TSkinPartKind::PushButton, GetParam().Frame);
    EXPECT_EQ(image.pixel(1, 12), expected);
    EXPECT_EQ(image.pixel(58, 2), expected) << "no focus rectangle drawn over the frame";
    EXPECT_EQ(image.pixel(30, 23), expected);
}

INSTANTIATE_TEST_SUITE_P(States, PushButtonStates,
    ::testing::Values(TStateCase { "Normal", Enabled, frames::ButtonNormal },
        TStateCase { "Hover", Enabled | Hover, frames::ButtonHover },
        TStateCase { "Pressed", Enabled | Pressed | Hover, frames::ButtonPressed },
        TStateCase { "Checked", Enabled | On, frames::ButtonPressed },
        TStateCase { "Disabled", State(), frames::ButtonDisabled },
        TStateCase { "DisabledUnderThePointer", Hover | Focus, frames::ButtonDisabled },
        TStateCase { "Focused", Enabled | Focus, frames::ButtonFocused },
        TStateCase { "FocusedHover", Enabled | Focus | Hover, frames::ButtonFocusedHover },
        TStateCase { "FocusedPressed", Enabled | Focus | Pressed, frames::ButtonPressed }),
    CaseName);

class MarkStates : public SkinStyleTest, public ::testing::WithParamInterface<TStateCase> { };

TEST_P(MarkStates, CheckBoxesAndRadioButtonsShowTheirFrame)
{
    const struct {
        QStyle::ControlElement Element;
        QStyle::SubElement Indicator;
        TSkinPartKind Kind;
        QSize Size;
    } kinds[] = {
        { QStyle::CE_CheckBox, QStyle::SE_CheckBoxIndicator, TSkinPartKind::CheckBox, { 15, 15 } },
        { QStyle::CE_RadioButton, QStyle::SE_RadioButtonIndicator, TSkinPartKind::RadioButton,
            { 14, 14 } },
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(std::string(SectionOf(kind.Kind)));
        QStyleOptionButton option;
        option.rect = QRect(0, 0, 120, 20);
        option.state = GetParam().Flags;
        option.text = QStringLiteral("Uses default port");
        const QRect indicator = Style.subElementRect(kind.Indicator, &option, nullptr);
        EXPECT_EQ(indicator.size(), kind.Size) << "the indicator is one frame of the skin";
        const QImage image = Render({ 120, 20 },
            [&](QPainter& p) { Style.drawControl(kind.Element, &option, &p, nullptr); });
        EXPECT_EQ(image.pixel(indicator.center()), FrameColour(kind.Kind, GetParam().Frame));
    }
}

INSTANTIATE_TEST_SUITE_P(States, MarkStates,
    ::testing::Values(TStateCase { "Normal", Enabled | QStyle::State_Off, frames::MarkNormal },
        TStateCase { "Hover", Enabled | Hover, frames::MarkHover },
        TStateCase { "Pressed", Enabled | Pressed | Hover, frames::MarkPressed },
        TStateCase { "Disabled", State(), frames::MarkDisabled },
        TStateCase { "Marked", Enabled | On, frames::MarkNormal + frames::MarkedOffset },
        TStateCase {
            "MarkedHover", Enabled | On | Hover, frames::MarkHover + frames::MarkedOffset },
        TStateCase {
            "MarkedPressed", Enabled | On | Pressed, frames::MarkPressed + frames::MarkedOffset },
        TStateCase { "MarkedDisabled", On, frames::MarkDisabled + frames::MarkedOffset },
        TStateCase { "Partly", Enabled | QStyle::State_NoChange,
            frames::MarkNormal + frames::MarkedOffset }),
    CaseName);

class TabStates : public SkinStyleTest, public ::testing::WithParamInterface<TStateCase> { };

TEST_P(TabStates, ShowTheirFrameAndOnlyTheSelectedOneOpensIntoThePane)
{
    QStyleOptionTab option;
    option.shape = QTabBar::RoundedNorth;
    option.rect = QRect(0, 0, 60, 24);
    option.state = GetParam().Flags;
    const QImage image = Render({ 60, 24 },
        [&](QPainter& p) { Style.drawControl(QStyle::CE_TabBarTabShape, &option, &p, nullptr); });
    const QRgb expected = FrameColour(TSkinPartKind::Tab, GetParam().Frame);
    EXPECT_EQ(image.pixel(30, 12), expected);
    const bool selected = (GetParam().Flags & QStyle::State_Selected) != 0;
    const int overlap = Style.pixelMetric(QStyle::PM_TabBarBaseOverlap);
    EXPECT_EQ(overlap, 2) << "the pane's top edge";
    EXPECT_EQ(image.pixel(30, 23) == expected, selected) << "over the pane's edge";
    EXPECT_EQ(image.pixel(30, 0) == expected, selected) << "the others stand lower";
}

INSTANTIATE_TEST_SUITE_P(States, TabStates,
    ::testing::Values(TStateCase { "Normal", Enabled, frames::TabNormal },
        TStateCase { "Hover", Enabled | Hover, frames::TabHover },
        TStateCase { "Selected", Enabled | QStyle::State_Selected, frames::TabSelected },
        TStateCase {
            "SelectedHover", Enabled | QStyle::State_Selected | Hover, frames::TabSelected },
        TStateCase { "Attention", Enabled | On | Hover, frames::TabAttention },
        // Disabled: an ended conversation's tab.
        TStateCase { "Ended", State(), frames::TabEnded },
        TStateCase { "EndedHover", Hover, frames::TabEnded },
        TStateCase { "EndedSelected", QStyle::State_Selected, frames::TabSelected },
        TStateCase { "EndedAttention", On, frames::TabAttention }),
    CaseName);

TEST(TabFrames, ASkinWithoutAnEndedFrameDrawsEndedTabsWithTheNormalOne)
{
    auto skin = SolidSkin();
    skin->Part(TSkinPartKind::Tab)
        = testing::SolidPart(TSkinPartKind::Tab, { 12, 12 }, frames::TabEnded - 1, { 3, 3, 3, 0 });
    const TSkinStyle style(skin, TSkinControls::All(), 99);
    QStyleOptionTab option;
    option.shape = QTabBar::RoundedNorth;
    option.rect = QRect(0, 0, 60, 24);
    option.state = State();
    const QImage image = Render({ 60, 24 },
        [&](QPainter& p) { style.drawControl(QStyle::CE_TabBarTabShape, &option, &p, nullptr); });
    EXPECT_EQ(image.pixel(30, 12), FrameColour(TSkinPartKind::Tab, frames::TabNormal));
}

struct TScrollCase {
    const char* Name;
    QStyle::SubControl Active;
    State Flags;
    int Slider;
    int SubLine;
};

class ScrollBarStates : public SkinStyleTest, public ::testing::WithParamInterface<TScrollCase> { };

TEST_P(ScrollBarStates, ShowTheFrameOfEachPiece)
{
    const TScrollCase& c = GetParam();
    QStyleOptionSlider option;
    option.orientation = Qt::Vertical;
    option.rect = QRect(0, 0, Style.pixelMetric(QStyle::PM_ScrollBarExtent), 150);
    option.minimum = 0;
    option.maximum = 100;
    option.pageStep = 20;
    option.singleStep = 1;
    option.sliderPosition = option.sliderValue = 50;
    option.subControls = QStyle::SC_All;
    option.activeSubControls = c.Active;
    option.state = c.Flags;
    const QImage image = Render(option.rect.size(),
        [&](QPainter& p) { Style.drawComplexControl(QStyle::CC_ScrollBar, &option, &p, nullptr); });
    const auto at = [&](QStyle::SubControl sub) {
        const QRect r = Style.subControlRect(QStyle::CC_ScrollBar, &option, sub, nullptr);
        return image.pixel(r.left() + 1, r.top() + 1);
    };
    EXPECT_EQ(option.rect.width(), 16) << "the bar is as wide as the skin's";
    EXPECT_EQ(
        at(QStyle::SC_ScrollBarSlider), FrameColour(TSkinPartKind::VertScrollThumb, c.Slider));
    EXPECT_EQ(at(QStyle::SC_ScrollBarSubLine), FrameColour(TSkinPartKind::ScrollButton, c.SubLine));
    EXPECT_EQ(at(QStyle::SC_ScrollBarAddPage), FrameColour(TSkinPartKind::VertScroll, 1));
}

INSTANTIATE_TEST_SUITE_P(States, ScrollBarStates,
    ::testing::Values(TScrollCase { "Idle", QStyle::SC_None, Enabled, 1, 1 },
        TScrollCase { "ThumbHover", QStyle::SC_ScrollBarSlider, Enabled | Hover, 2, 1 },
        TScrollCase { "ThumbPressed", QStyle::SC_ScrollBarSlider, Enabled | Pressed, 3, 1 },
        TScrollCase { "ArrowHover", QStyle::SC_ScrollBarSubLine, Enabled | Hover, 1, 2 },
        TScrollCase { "ArrowPressed", QStyle::SC_ScrollBarSubLine, Enabled | Pressed, 1, 3 },
        TScrollCase { "Disabled", QStyle::SC_None, State(), 4, 4 }),
    [](const auto& row) { return std::string(row.param.Name); });

class EdgeStates : public SkinStyleTest, public ::testing::WithParamInterface<TStateCase> { };

TEST_P(EdgeStates, FramesOfEditsAndListsShowTheirFrameAroundTheContent)
{
    QStyleOptionFrame option;
    option.rect = QRect(0, 0, 80, 24);
    option.state = GetParam().Flags | QStyle::State_Sunken;
    option.lineWidth = 2;
    option.palette.setColor(QPalette::Base, QColor(10, 200, 10));
    const QRgb expected = FrameColour(TSkinPartKind::SunkEdge, GetParam().Frame);

    const QImage lineEdit = Render({ 80, 24 },
        [&](QPainter& p) { Style.drawPrimitive(QStyle::PE_PanelLineEdit, &option, &p, nullptr); });
    EXPECT_EQ(lineEdit.pixel(0, 12), expected);
    EXPECT_EQ(lineEdit.pixel(40, 12), qRgb(10, 200, 10)) << "the edit's own colour inside";

    const QImage scrollArea = Render({ 80, 24 },
        [&](QPainter& p) { Style.drawPrimitive(QStyle::PE_Frame, &option, &p, nullptr); });
    EXPECT_EQ(scrollArea.pixel(79, 12), expected);
    EXPECT_EQ(scrollArea.pixel(40, 12), Background) << "the centre is left to the content";
}

INSTANTIATE_TEST_SUITE_P(States, EdgeStates,
    ::testing::Values(TStateCase { "Normal", Enabled, frames::EdgeNormal },
        TStateCase { "Hover", Enabled | Hover, frames::EdgeHover },
        TStateCase { "Focused", Enabled | Focus | Hover, frames::EdgeFocused },
        TStateCase { "Disabled", Focus, frames::EdgeDisabled }),
    CaseName);

TEST_F(SkinStyleTest, PanelsAreDrawnFromTheirParts)
{
    struct {
        const char* Name;
        QStyle::PrimitiveElement Element;
        TSkinPartKind Kind;
        QStyleOption* Option;
    } rows[3];
    QStyleOptionFrame groupBox;
    QStyleOptionTabWidgetFrame pane;
    pane.shape = QTabBar::RoundedNorth;
    QStyleOptionMenuItem menu;
    rows[0] = { "group box", QStyle::PE_FrameGroupBox, TSkinPartKind::GroupBox, &groupBox };
    rows[1] = { "tab pane", QStyle::PE_FrameTabWidget, TSkinPartKind::TabPane, &pane };
    rows[2] = { "menu", QStyle::PE_PanelMenu, TSkinPartKind::MenuBackground, &menu };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        row.Option->rect = QRect(0, 0, 90, 60);
        row.Option->state = Enabled;
        const QImage image = Render({ 90, 60 },
            [&](QPainter& p) { Style.drawPrimitive(row.Element, row.Option, &p, nullptr); });
        EXPECT_EQ(image.pixel(0, 30), FrameColour(row.Kind, 1));
        EXPECT_EQ(image.pixel(89, 59), FrameColour(row.Kind, 1));
    }
}

TEST_F(SkinStyleTest, AGroupBoxFrameStartsBelowItsTitle)
{
    const QRgb frame = FrameColour(TSkinPartKind::GroupBox, 1);
    QStyleOptionGroupBox option;
    option.rect = QRect(0, 0, 120, 80);
    option.state = Enabled;
    option.subControls = QStyle::SC_GroupBoxFrame;
    const QImage untitled = Render({ 120, 80 },
        [&](QPainter& p) { Style.drawComplexControl(QStyle::CC_GroupBox, &option, &p, nullptr); });
    EXPECT_EQ(untitled.pixel(119, 0), frame) << "without a title the frame is the whole box";

    option.subControls |= QStyle::SC_GroupBoxLabel;
    option.text = QStringLiteral("Advanced Settings");
    const QRect title
        = Style.subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, nullptr);
    ASSERT_FALSE(title.isEmpty());
    const QImage titled = Render({ 120, 80 },
        [&](QPainter& p) { Style.drawComplexControl(QStyle::CC_GroupBox, &option, &p, nullptr); });
    EXPECT_EQ(titled.pixel(119, title.center().y()), Background) << "no frame beside the title";
    EXPECT_EQ(titled.pixel(119, title.bottom() + 4), frame);
    EXPECT_EQ(titled.pixel(60, 79), frame);
    EXPECT_NE(titled.copy(title), Render(title.size(), [](QPainter&) {})) << "the title is drawn";
}

TEST_F(SkinStyleTest, OnlyTheLitMenuItemShowsTheHighlightPicture)
{
    const QRgb lit = FrameColour(TSkinPartKind::MenuItem, 1);
    for (const auto& [type, state, expected] :
        { std::tuple { QStyleOptionMenuItem::Normal, Enabled | QStyle::State_Selected, true },
            std::tuple { QStyleOptionMenuItem::Normal, Enabled, false },
            std::tuple { QStyleOptionMenuItem::Normal, State(QStyle::State_Selected), false },
            std::tuple {
                QStyleOptionMenuItem::Separator, Enabled | QStyle::State_Selected, false } }) {
        QStyleOptionMenuItem option;
        option.rect = QRect(0, 0, 100, 22);
        option.menuItemType = type;
        option.state = state;
        option.text = QStringLiteral("Exit");
        const QImage image = Render({ 100, 22 },
            [&](QPainter& p) { Style.drawControl(QStyle::CE_MenuItem, &option, &p, nullptr); });
        EXPECT_EQ(image.pixel(90, 3) == lit, expected) << type << " " << state;
    }
}

TEST_F(SkinStyleTest, PushButtonTextTakesTheSkinsColourForTheState)
{
    TSkinPart& part = const_cast<TSkinPart&>(Style.Painter().Part(TSkinPartKind::PushButton));
    part.NormalColour = QColor(220, 0, 0);
    part.MouseOverColour = QColor(220, 220, 0);
    const auto textColours = [&](State state) {
        QStyleOptionButton option;
        option.rect = QRect(0, 0, 120, 30);
        option.state = state;
        option.text = QStringLiteral("MMMMMM");
        const QImage image = Render({ 120, 30 },
            [&](QPainter& p) { Style.drawControl(QStyle::CE_PushButton, &option, &p, nullptr); });
        // The frames are blue; the text is the only red or yellow there is.
        int red = 0;
        int yellow = 0;
        for (int y = 3; y < 27; ++y) {
            for (int x = 3; x < 117; ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > 150 && c.blue() < 90)
                    ++(c.green() > 150 ? yellow : red);
            }
        }
        return std::pair { red, yellow };
    };
    const auto [normalRed, normalYellow] = textColours(Enabled);
    EXPECT_GT(normalRed, 10);
    EXPECT_EQ(normalYellow, 0);
    const auto [hoverRed, hoverYellow] = textColours(Enabled | Hover);
    EXPECT_EQ(hoverRed, 0);
    EXPECT_GT(hoverYellow, 10);
}

TEST(SkinStyleControls, KindsLeftOutOfTheSetAndMissingPartsAreDrawnNatively)
{
    TSkinControls controls = TSkinControls::All();
    controls.Exclude(TSkinControl::xcButton);
    auto skin = SolidSkin();
    skin->Part(TSkinPartKind::CheckBox) = {};
    TSkinStyle style(skin, controls, 99);

    QStyleOptionButton button;
    button.rect = QRect(0, 0, 60, 25);
    button.state = Enabled;
    const QImage buttonImage = Render({ 60, 25 },
        [&](QPainter& p) { style.drawControl(QStyle::CE_PushButton, &button, &p, nullptr); });
    EXPECT_NE(buttonImage.pixel(1, 12), FrameColour(TSkinPartKind::PushButton, 1));
    EXPECT_NE(buttonImage.pixel(30, 12), Background) << "but drawn: natively";

    const QRect indicator = style.subElementRect(QStyle::SE_CheckBoxIndicator, &button, nullptr);
    EXPECT_NE(indicator.size(), QSize(15, 15)) << "the native indicator's size";
    button.state |= QStyle::State_On;
    const QImage check = Render({ 60, 25 },
        [&](QPainter& p) { style.drawControl(QStyle::CE_CheckBox, &button, &p, nullptr); });
    EXPECT_NE(check.copy(indicator), Render(indicator.size(), [](QPainter&) {}))
        << "a native check mark";
}

TEST(SkinStylePalette, SkinColoursBecomeThePalette)
{
    auto skin = std::make_shared<TSkin>();
    skin->Colours = { { "buttonface", QColor(1, 1, 1) }, { "WindowText", QColor(2, 2, 2) },
        { "GrayText", QColor(3, 3, 3) }, { "Highlight", QColor(4, 4, 4) },
        { "TitleTextActive", QColor(5, 5, 5) }, { "Window", QColor(6, 6, 6) } };
    TSkinStyle style(skin, TSkinControls::All(), 99);
    const QPalette palette = style.standardPalette();
    EXPECT_EQ(palette.color(QPalette::Button), QColor(1, 1, 1)) << "names in any letter case";
    EXPECT_EQ(palette.color(QPalette::Window), QColor(1, 1, 1));
    EXPECT_EQ(palette.color(QPalette::Active, QPalette::WindowText), QColor(2, 2, 2));
    EXPECT_EQ(palette.color(QPalette::Active, QPalette::Text), QColor(2, 2, 2));
    EXPECT_EQ(palette.color(QPalette::Disabled, QPalette::Text), QColor(3, 3, 3));
    EXPECT_EQ(palette.color(QPalette::Disabled, QPalette::ButtonText), QColor(3, 3, 3));
    EXPECT_EQ(palette.color(QPalette::Highlight), QColor(4, 4, 4));
    EXPECT_EQ(palette.color(QPalette::Base), QColor(6, 6, 6));
}

} // namespace
} // namespace quillet::skin
