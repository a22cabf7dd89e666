#include "skin/TSkinBitmapCache.h"

#include "skin/SkinBitmap.h"
#include "skin/TSkinPackage.h"

namespace quillet::skin {

TSkinBitmapCache::TSkinBitmapCache(const TSkinPackage& package, std::int64_t maxPixels)
    : Package(package)
    , Budget(maxPixels)
{
}

QImage TSkinBitmapCache::Bitmap(std::string_view value)
{
    const std::optional<std::size_t> index = Package.FindBitmapEntry(value);
    if (!index || Over)
        return {};
    if (const auto found = Images.find(*index); found != Images.end())
        return found->second;

    const std::span<const std::uint8_t> bytes = Package.EntryBytes(*index);
    const QSize size = SkinBitmapSize(bytes);
    const std::int64_t pixels = std::int64_t { size.width() } * size.height();
    if (pixels > Budget - Decoded) {
        Over = true;
        return {};
    }
    QImage image = size.isEmpty() ? QImage() : DecodeSkinBitmap(bytes);
    if (!image.isNull())
        Decoded += pixels;
    Images.emplace(*index, image);
    return image;
}

} // namespace quillet::skin
