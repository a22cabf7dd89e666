// Feeds the skin's bitmap loading path arbitrary entry bytes, as a skin file chosen by the user
// can hold anything. Checks that a decoded image keeps within the limits and has the format the
// engine draws from, and draws it as a part: a frame count, a frame and margins taken from the
// first bytes, stretched and tiled to a size that is not a multiple of the frame.
//
// Input layout: byte 0 even: the rest is the entry's bytes as they are. Byte 0 odd: the entry is
// built from the input so that most inputs get past the signature: a bitmap file header and
// information header with width and height from bytes 1-4 (signed 16-bit), bits per pixel from
// byte 5, compression from byte 6 and the palette size from byte 7, then the rest as palette and
// pixels.

#include "skin/SkinBitmap.h"
#include "skin/SkinImage.h"

#include <QMargins>
#include <QSize>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace quillet::skin;

namespace {

void Put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::vector<std::uint8_t> BuiltEntry(const std::uint8_t* data, std::size_t size)
{
    constexpr std::array<std::uint32_t, 6> BitsPerPixel = { 1, 4, 8, 16, 24, 32 };
    const auto at = [&](std::size_t i) -> std::uint32_t { return i < size ? data[i] : 0; };
    std::vector<std::uint8_t> bytes(54, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    const std::size_t rest = size > 8 ? size - 8 : 0;
    Put(bytes, 2, static_cast<std::uint32_t>(54 + rest), 4);
    Put(bytes, 10, 54 + 4 * at(7), 4); // pixels after the palette
    Put(bytes, 14, 40, 4);
    Put(bytes, 18, static_cast<std::uint32_t>(static_cast<std::int16_t>(at(1) | at(2) << 8)), 4);
    Put(bytes, 22, static_cast<std::uint32_t>(static_cast<std::int16_t>(at(3) | at(4) << 8)), 4);
    Put(bytes, 26, 1, 2);
    Put(bytes, 28, BitsPerPixel[at(5) % BitsPerPixel.size()], 2);
    Put(bytes, 30, at(6) % 4, 4);
    Put(bytes, 46, at(7), 4);
    if (size > 8)
        bytes.insert(bytes.end(), data + 8, data + size);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::vector<std::uint8_t> entry = data[0] % 2 == 0
        ? std::vector<std::uint8_t>(data + 1, data + size)
        : BuiltEntry(data, size);
    const QImage image = DecodeSkinBitmap(entry);
    if (image.isNull())
        return 0;
    if (image.format() != QImage::Format_RGB32 || image.width() > TSkinBitmapLimits::MaxSide
        || image.height() > TSkinBitmapLimits::MaxSide
        || qint64(image.width()) * image.height() > TSkinBitmapLimits::MaxPixels) {
        std::fprintf(stderr, "decoded image outside the limits: %dx%d format %d\n", image.width(),
            image.height(), int(image.format()));
        std::abort();
    }
    const int count = 1 + data[size / 2] % 8;
    const int frame = data[size - 1] % 10;
    const QMargins margins(data[size / 3] % 9, data[size / 5] % 9, data[size / 7] % 9, 3);
    for (const bool tile : { false, true }) {
        const QImage picture
            = ComposeSkinImage(QSize(37, 23), image, margins, false, tile, count, frame);
        if (!picture.isNull() && picture.size() != QSize(37, 23)) {
            std::fprintf(stderr, "composed %dx%d for 37x23\n", picture.width(), picture.height());
            std::abort();
        }
    }
    return 0;
}
