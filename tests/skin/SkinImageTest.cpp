#include "skin/SkinImage.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <set>
#include <string>

namespace quillet::skin {
namespace {

// Colours of the nine regions of a test frame, row by row: top-left, top, top-right, left,
// centre, right, bottom-left, bottom, bottom-right.
QRgb RegionColour(int row, int column, int frame = 0)
{
    return qRgb(40 + 60 * column, 40 + 60 * row, 20 + 50 * frame);
}

// A bitmap of `count` frames side by side, each `size` large with its nine regions cut by
// `margins` and filled with RegionColour.
QImage NinePieceStrip(QSize size, QMargins m, int count = 1)
{
    QImage image(size.width() * count, size.height(), QImage::Format_RGB32);
    for (int f = 0; f < count; ++f) {
        for (int y = 0; y < size.height(); ++y) {
            const int row = y < m.top() ? 0 : y >= size.height() - m.bottom() ? 2 : 1;
            for (int x = 0; x < size.width(); ++x) {
                const int column = x < m.left() ? 0 : x >= size.width() - m.right() ? 2 : 1;
                image.setPixel(f * size.width() + x, y, RegionColour(row, column, f));
            }
        }
    }
    return image;
}

std::set<QRgb> ColoursOf(const QImage& image)
{
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return colours;
}

struct TFitCase {
    const char* Name;
    QSize Destination;
};

class ComposeFitTest : public ::testing::TestWithParam<TFitCase> { };

// With the margins kept, every pixel shows the region its place in the target belongs to:
// corners at their size, bands and centre stretched, and nothing blended.
TEST_P(ComposeFitTest, CornersKeepTheirSizeAndTheRestStretches)
{
    const QMargins margins(3, 2, 4, 1);
    const QImage strip = NinePieceStrip({ 10, 8 }, margins);
    const QSize size = GetParam().Destination;
    const QImage picture = ComposeSkinImage(size, strip, margins, false, false, 1, 1);
    ASSERT_EQ(picture.size(), size);
    for (int y = 0; y < size.height(); ++y) {
        const int row = y < margins.top() ? 0 : y >= size.height() - margins.bottom() ? 2 : 1;
        for (int x = 0; x < size.width(); ++x) {
            const int column = x < margins.left() ? 0 : x >= size.width() - margins.right() ? 2 : 1;
            ASSERT_EQ(picture.pixel(x, y), RegionColour(row, column)) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ComposeFitTest,
    ::testing::Values(TFitCase { "Same", { 10, 8 } }, TFitCase { "Wider", { 37, 8 } },
        TFitCase { "Taller", { 10, 29 } }, TFitCase { "Both", { 123, 45 } },
        TFitCase { "ExactlyTheMargins", { 7, 3 } }, TFitCase { "Shrunk", { 8, 5 } }),
    [](const auto& row) { return std::string(row.param.Name); });

TEST(ComposeSkinImage, TargetNarrowerThanTheMarginsStretchesTheWholeFrame)
{
    const QMargins margins(3, 2, 4, 1);
    const QImage strip = NinePieceStrip({ 10, 8 }, margins);
    // One pixel narrower than left + right: no corner keeps its width.
    const QImage picture = ComposeSkinImage({ 6, 8 }, strip, margins, false, false, 1, 1);
    ASSERT_EQ(picture.size(), QSize(6, 8));
    int leftColumns = 0;
    while (leftColumns < 6 && picture.pixel(leftColumns, 0) == RegionColour(0, 0))
        ++leftColumns;
    EXPECT_GE(leftColumns, 1);
    EXPECT_LT(leftColumns, margins.left()) << "the left corner is squeezed with the rest";
    EXPECT_EQ(picture.pixel(5, 0), RegionColour(0, 2));
    EXPECT_EQ(picture.pixel(leftColumns, 0), RegionColour(0, 1)) << "the top band follows";
    // The height still has room for its margins: the rows keep their bands.
    EXPECT_EQ(picture.pixel(0, 1), RegionColour(0, 0));
    EXPECT_EQ(picture.pixel(0, 2), RegionColour(1, 0));
    EXPECT_EQ(picture.pixel(0, 7), RegionColour(2, 0));

    const QImage flat = ComposeSkinImage({ 10, 2 }, strip, margins, false, false, 1, 1);
    EXPECT_EQ(flat.pixel(0, 0), RegionColour(0, 0));
    EXPECT_EQ(flat.pixel(0, 1), RegionColour(1, 0))
        << "two rows high (under top + bottom = 3): the bands give way to the middle";
}

struct TFrameCase {
    const char* Name;
    int Count;
    int Number;
    bool Vertical;
    // The frame whose colours the picture must show, from 0; -1 for all of them at once.
    int Expected;
};

class FrameChoiceTest : public ::testing::TestWithParam<TFrameCase> { };

TEST_P(FrameChoiceTest, PicksTheFrameOfTheStrip)
{
    const TFrameCase& c = GetParam();
    QImage strip = NinePieceStrip({ 6, 6 }, {}, 3);
    if (c.Vertical) {
        // The same three frames stacked.
        QImage stacked(6, 18, QImage::Format_RGB32);
        QPainter painter(&stacked);
        for (int f = 0; f < 3; ++f)
            painter.drawImage(QPoint(0, 6 * f), strip, QRect(6 * f, 0, 6, 6));
        painter.end();
        strip = stacked;
    }
    const QImage picture
        = ComposeSkinImage({ 12, 9 }, strip, {}, c.Vertical, false, c.Count, c.Number);
    ASSERT_FALSE(picture.isNull());
    if (c.Expected >= 0) {
        EXPECT_EQ(ColoursOf(picture), std::set<QRgb> { RegionColour(1, 1, c.Expected) });
    } else {
        EXPECT_EQ(ColoursOf(picture).size(), 3u) << "the whole strip is one frame";
    }
}

INSTANTIATE_TEST_SUITE_P(Frames, FrameChoiceTest,
    ::testing::Values(TFrameCase { "SecondOfThree", 3, 2, false, 1 },
        TFrameCase { "ThirdOfThree", 3, 3, false, 2 },
        TFrameCase { "FirstOfThree", 3, 1, false, 0 },
        TFrameCase { "StackedSecond", 3, 2, true, 1 }, TFrameCase { "StackedThird", 3, 3, true, 2 },
        TFrameCase { "NumberZeroIsTheFirst", 3, 0, false, 0 },
        TFrameCase { "NumberPastTheEndIsTheLast", 3, 9, false, 2 },
        TFrameCase { "CountZeroIsOne", 0, 1, false, -1 }),
    [](const auto& row) { return std::string(row.param.Name); });

// A frame 14 wide whose 10 centre columns each have their own colour.
QImage TileStrip()
{
    QImage image(14, 6, QImage::Format_RGB32);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 14; ++x) {
            QRgb colour = qRgb(250, 250, 250); // bands
            if (x >= 2 && x < 12 && y >= 1 && y < 5)
                colour = qRgb(10 * (x - 2), 100, 50);
            else if (x >= 12)
                colour = qRgb(0, 0, 200); // right band and corners
            image.setPixel(x, y, colour);
        }
    }
    return image;
}

TEST(ComposeSkinImage, TiledCentreRepeatsWholeTilesAndTheRightBandCoversTheOverhang)
{
    const QMargins margins(2, 1, 2, 1);
    // Centre 25 wide: tiles at 0, 10 and 20; the third would reach 30.
    const QImage picture = ComposeSkinImage({ 29, 6 }, TileStrip(), margins, false, true, 1, 1);
    for (int x = 2; x < 27; ++x)
        EXPECT_EQ(picture.pixel(x, 2), qRgb(10 * ((x - 2) % 10), 100, 50)) << x;
    EXPECT_EQ(picture.pixel(27, 2), qRgb(0, 0, 200));
    EXPECT_EQ(picture.pixel(28, 2), qRgb(0, 0, 200));
    EXPECT_EQ(picture.pixel(10, 5), qRgb(250, 250, 250)) << "the bottom band is not tiled over";
}

TEST(TileRectangle, LastTilesReachPastTheDestination)
{
    const QImage strip = TileStrip();
    QImage canvas(40, 10, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    TileRectangle(painter, QRect(0, 0, 25, 3), strip, QRect(2, 1, 10, 4));
    painter.end();
    for (int x = 0; x < 30; ++x)
        EXPECT_EQ(canvas.pixel(x, 0), qRgb(10 * (x % 10), 100, 50)) << x;
    EXPECT_EQ(canvas.pixel(30, 0), qRgb(0, 0, 0)) << "no fourth tile";
    EXPECT_EQ(canvas.pixel(0, 3), qRgb(0, 100, 50)) << "whole rows: 4 high for 3 asked";
    EXPECT_EQ(canvas.pixel(0, 4), qRgb(0, 0, 0));

    QImage untouched = canvas;
    QPainter again(&canvas);
    TileRectangle(again, QRect(0, 5, 20, 5), strip, QRect(2, 1, 0, 4));
    again.end();
    EXPECT_EQ(canvas, untouched) << "a source without pixels draws nothing";
}

TEST(DrawSkinImage, TransparentPixelsLeaveTheTargetAlsoInsideAStretchedBand)
{
    // A left band with one magenta pixel in its middle row; stretched to 40 rows it covers
    // several rows of the target.
    QImage strip(6, 5, QImage::Format_RGB32);
    strip.fill(qRgb(10, 20, 30));
    strip.setPixel(0, 2, TransparentColour);
    const QColor before(200, 210, 220);
    for (const bool transparent : { true, false }) {
        SCOPED_TRACE(transparent);
        QImage target(20, 50, QImage::Format_RGB32);
        target.fill(before);
        QPainter painter(&target);
        DrawSkinImage(painter, QRect(5, 5, 10, 40), strip, QMargins(2, 2, 2, 2), false, false,
            transparent, 1, 1);
        painter.end();

        int kept = 0;
        int magenta = 0;
        for (int y = 5; y < 45; ++y) {
            const QRgb pixel = target.pixel(5, y);
            if (pixel == before.rgb())
                ++kept;
            else if (pixel == TransparentColour)
                ++magenta;
            else
                EXPECT_EQ(pixel, qRgb(10, 20, 30)) << y;
        }
        EXPECT_EQ(kept > 0, transparent);
        EXPECT_EQ(magenta > 0, !transparent);
        EXPECT_GT(kept + magenta, 5) << "the magenta pixel is stretched over several rows";
        EXPECT_EQ(target.pixel(6, 25), qRgb(10, 20, 30));
        EXPECT_EQ(target.pixel(4, 25), before.rgb()) << "nothing outside the destination";
    }
}

TEST(DrawSkinImage, BackwardsOrEmptyDestinationDrawsNothing)
{
    const QImage strip = NinePieceStrip({ 10, 8 }, { 2, 2, 2, 2 });
    QImage target(30, 30, QImage::Format_RGB32);
    target.fill(Qt::white);
    const QImage before = target;
    QPainter painter(&target);
    for (const QRect& destination : { QRect(QPoint(10, 0), QPoint(4, 9)),
             QRect(QPoint(0, 10), QPoint(9, 4)), QRect(5, 5, 0, 10) }) {
        DrawSkinImage(painter, destination, strip, { 2, 2, 2, 2 }, false, false, false, 1, 1);
    }
    painter.end();
    EXPECT_EQ(target, before);
}

TEST(ComposeSkinImage, MarginsWiderThanTheFrameStayInsideIt)
{
    // Frame 2's colours must never show when frame 1 is drawn, however wide the margins claim
    // the bands are.
    const QImage strip = NinePieceStrip({ 6, 6 }, {}, 2);
    const QImage picture
        = ComposeSkinImage({ 20, 20 }, strip, QMargins(9, 9, 9, 9), false, false, 2, 1);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(ColoursOf(picture), std::set<QRgb> { RegionColour(1, 1, 0) });
    EXPECT_TRUE(ComposeSkinImage({ 20, 20 }, QImage(), {}, false, false, 1, 1).isNull());
    EXPECT_TRUE(ComposeSkinImage({ 20, 20 }, strip, {}, false, false, 13, 1).isNull())
        << "13 frames in 12 pixels: no frame has a pixel";
}

} // namespace
} // namespace quillet::skin
