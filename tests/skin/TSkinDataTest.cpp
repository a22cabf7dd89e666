#include "SkinTestSupport.h"

#include "skin/TSkinData.h"
#include "skin/TSkinPainter.h"
#include "skin/TSkinStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <gtest/gtest.h>

namespace quillet {
namespace {

using skin::TSkinPartKind;
using skin::testing::FrameColour;
using skin::testing::SolidSkin;

TEST(SkinPainter, ComposesEachPictureOnceForItsPartFrameAndSize)
{
    auto solid = SolidSkin();
    solid->Part(TSkinPartKind::GroupBox) = {};
    const skin::TSkinPainter painter(solid);
    QImage target(200, 100, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&target);
    const auto paint = [&](TSkinPartKind kind, QRect rect, int frame) {
        return painter.Paint(p, kind, rect, frame);
    };

    EXPECT_TRUE(paint(TSkinPartKind::PushButton, { 0, 0, 40, 20 }, 1));
    EXPECT_TRUE(paint(TSkinPartKind::PushButton, { 50, 50, 40, 20 }, 1));
    EXPECT_EQ(painter.ComposedCount(), 1) << "the same picture elsewhere comes from the cache";
    EXPECT_EQ(target.pixel(50, 50), FrameColour(TSkinPartKind::PushButton, 1));
    paint(TSkinPartKind::PushButton, { 0, 0, 40, 20 }, 2);
    paint(TSkinPartKind::PushButton, { 0, 0, 41, 20 }, 1);
    paint(TSkinPartKind::Tab, { 0, 0, 40, 20 }, 1);
    EXPECT_EQ(painter.ComposedCount(), 4);
    paint(TSkinPartKind::PushButton, { 0, 0, 41, 20 }, 1);
    EXPECT_EQ(painter.ComposedCount(), 4);

    EXPECT_FALSE(paint(TSkinPartKind::GroupBox, { 0, 0, 40, 20 }, 1)) << "a part without a bitmap";
    EXPECT_FALSE(
        paint(TSkinPartKind::PushButton, { 0, 0, skin::TSkinPainter::MaxSide + 1, 20 }, 1));
}

skin::TSkinLoad Loaded(std::shared_ptr<const skin::TSkin> skin)
{
    return { std::move(skin), {}, {} };
}

class SkinDataTest : public ::testing::Test {
protected:
    QString StyleBefore = QApplication::style()->name();
};

TEST_F(SkinDataTest, ActiveSkinPaintsTheWholeProgramUntilItGoes)
{
    {
        TSkinData data(Loaded(SolidSkin()));
        ASSERT_TRUE(data.Active());
        EXPECT_EQ(QApplication::style(), data.SkinStyle());
        EXPECT_EQ(QApplication::palette().color(QPalette::Button), QColor(240, 238, 230));

        QPushButton plain(QStringLiteral("Dial"));
        QWidget window;
        window.setProperty(skin::TSkinStyle::TagProperty, data.DisableTag);
        auto* tagged = new QPushButton(QStringLiteral("Dial"), &window);
        for (QPushButton* button : { &plain, tagged })
            button->resize(60, 25);
        EXPECT_EQ(plain.grab().toImage().pixel(1, 12), FrameColour(TSkinPartKind::PushButton, 1));
        EXPECT_NE(tagged->grab().toImage().pixel(1, 12), FrameColour(TSkinPartKind::PushButton, 1))
            << "a window carrying the disable tag keeps its controls native";

        QWidget teal;
        QPalette own = teal.palette();
        own.setColor(QPalette::Window, QColor(0, 128, 128));
        teal.setPalette(own);
        teal.setProperty(skin::TSkinStyle::TagProperty, data.DisableTag);
        teal.ensurePolished();
        EXPECT_EQ(teal.palette().color(QPalette::Window), QColor(0, 128, 128)) << "its own colour";
        EXPECT_NE(teal.palette().color(QPalette::Button), QColor(240, 238, 230))
            << "not the skin's";
    }
    EXPECT_EQ(QApplication::style()->name(), StyleBefore) << "the style from before comes back";
    EXPECT_NE(QApplication::palette().color(QPalette::Button), QColor(240, 238, 230));
}

TEST_F(SkinDataTest, NoSkinLeavesTheProgramNative)
{
    TSkinData data({});
    EXPECT_FALSE(data.Active());
    EXPECT_EQ(QApplication::style()->name(), StyleBefore);

    QWidget sheet;
    auto* pane = new QPlainTextEdit(&sheet);
    data.SkinWindowByHandle(&sheet);
    EXPECT_FALSE(pane->testAttribute(Qt::WA_WState_Polished));
}

TEST_F(SkinDataTest, SkinWindowByHandlePreparesEveryControlOfTheNewWindow)
{
    TSkinData data(Loaded(SolidSkin()));
    QWidget sheet;
    auto* pane = new QPlainTextEdit(&sheet);
    auto* button = new QPushButton(&sheet);
    EXPECT_FALSE(pane->testAttribute(Qt::WA_Hover));
    data.SkinWindowByHandle(&sheet);
    EXPECT_TRUE(pane->testAttribute(Qt::WA_Hover)) << "the pane's frame follows the pointer";
    EXPECT_TRUE(button->testAttribute(Qt::WA_Hover));
    EXPECT_EQ(pane->frameWidth(), 2) << "the skin's frame, before any layout";
}

} // namespace
} // namespace quillet
