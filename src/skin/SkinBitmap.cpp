#include "skin/SkinBitmap.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

namespace quillet::skin {
namespace {

// Calls `use` with a BMP reader over the bytes and the size its header promises, when that size
// is within the limits; returns `use`'s result, or `refused` without calling it.
template <class TUse, class TResult>
TResult WithReader(std::span<const std::uint8_t> bytes, TResult refused, TUse use)
{
    if (bytes.size() < 2 || bytes.size() > TSkinBitmapLimits::MaxFileBytes || bytes[0] != 'B'
        || bytes[1] != 'M')
        return refused;
    // Qt's limit is process-wide; every image this program reads is a skin bitmap or drawn in
    // code, so setting it here bounds them all.
    QImageReader::setAllocationLimit(TSkinBitmapLimits::AllocationLimitMb);

    const QByteArray data = QByteArray::fromRawData(
        reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    reader.setAutoDetectImageFormat(false);

    // The header alone, before any pixel is decoded.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > TSkinBitmapLimits::MaxSide
        || size.height() > TSkinBitmapLimits::MaxSide
        || qint64(size.width()) * size.height() > TSkinBitmapLimits::MaxPixels)
        return refused;
    return use(reader, size);
}

} // namespace

QSize SkinBitmapSize(std::span<const std::uint8_t> bytes)
{
    return WithReader(bytes, QSize(), [](QImageReader&, QSize size) { return size; });
}

QImage DecodeSkinBitmap(std::span<const std::uint8_t> bytes)
{
    return WithReader(bytes, QImage(), [](QImageReader& reader, QSize size) {
        QImage image;
        if (!reader.read(&image) || image.isNull() || image.size() != size)
            return QImage();
        return image.convertToFormat(QImage::Format_RGB32);
    });
}

} // namespace quillet::skin
