#include "skin/SkinBitmap.h"

#include <QBuffer>
#include <QByteArray>
#include <QtEndian>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet::skin {
namespace {

std::vector<std::uint8_t> Bytes(const QByteArray& data)
{
    return { data.begin(), data.end() };
}

QImage Sample()
{
    QImage image(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            image.setPixel(x, y, qRgb(40 * x, 80 * y, 255 - 40 * x));
    image.setPixel(2, 1, 0xFFFF00FF);
    return image;
}

QByteArray Encoded(const QImage& image, const char* format)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return data;
}

// The 54 bytes of a 24-bit bitmap's headers, promising a width x height image.
QByteArray Header(qint32 width, qint32 height)
{
    QByteArray header(54, '\0');
    auto* bytes = reinterpret_cast<uchar*>(header.data());
    header[0] = 'B';
    header[1] = 'M';
    qToLittleEndian<quint32>(54, bytes + 10);
    qToLittleEndian<quint32>(40, bytes + 14);
    qToLittleEndian<qint32>(width, bytes + 18);
    qToLittleEndian<qint32>(height, bytes + 22);
    qToLittleEndian<quint16>(1, bytes + 26);
    qToLittleEndian<quint16>(24, bytes + 28);
    qToLittleEndian<quint32>(0, bytes + 30);
    qToLittleEndian<quint32>(54, bytes + 2);
    return header;
}

TEST(DecodeSkinBitmap, AWholeBitmapFileGivesItsPixelsExactly)
{
    const QImage decoded = DecodeSkinBitmap(Bytes(Encoded(Sample(), "BMP")));
    ASSERT_FALSE(decoded.isNull());
    EXPECT_EQ(decoded.format(), QImage::Format_RGB32);
    EXPECT_EQ(decoded, Sample());
}

struct TRefusedCase {
    const char* Name;
    QByteArray Data;
};

class RefusedBitmaps : public ::testing::TestWithParam<TRefusedCase> { };

TEST_P(RefusedBitmaps, GiveAnEmptyImage)
{
    EXPECT_TRUE(DecodeSkinBitmap(Bytes(GetParam().Data)).isNull());
}

INSTANTIATE_TEST_SUITE_P(Bytes, RefusedBitmaps,
    ::testing::Values(TRefusedCase { "Nothing", QByteArray() },
        TRefusedCase { "Text", QByteArray("[Skins]\r\nVersion=150\r\n") },
        TRefusedCase { "Png", Encoded(Sample(), "PNG") },
        TRefusedCase { "HeaderCutShort", Encoded(Sample(), "BMP").left(30) },
        TRefusedCase { "PixelsMissing", Header(200, 100) },
        TRefusedCase { "HugeImagePromised", Header(100000, 100000) },
        TRefusedCase { "WiderThanAnySkinBitmap", Header(5000, 1) + QByteArray(15000, '\x7f') },
        TRefusedCase { "TooManyPixels", Header(4000, 4000) },
        TRefusedCase { "NegativeWidth", Header(-20, 10) + QByteArray(600, '\0') }),
    [](const auto& row) { return std::string(row.param.Name); });

} // namespace
} // namespace quillet::skin
