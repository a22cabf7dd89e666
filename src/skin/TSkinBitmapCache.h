#pragma once

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>

namespace quillet::skin {

class TSkinPackage;

// The bitmaps of one package as a skin description names them. Each entry is decoded once:
// parts that name the same entry (through any folder, in any letter case) share one image, and
// so its memory. The pixels of all decoded entries together stay within a budget: an entry that
// would pass it is not decoded, and the cache is then over budget for good.
class TSkinBitmapCache {
public:
    TSkinBitmapCache(const TSkinPackage& package, std::int64_t maxPixels);

    // The image of the bitmap a description value names; null when the value names no bitmap
    // entry, when the entry is not a bitmap within the per-bitmap limits, or when decoding it
    // would pass the budget.
    QImage Bitmap(std::string_view value);

    bool OverBudget() const { return Over; }
    // Pixels of the entries decoded so far.
    std::int64_t DecodedPixels() const { return Decoded; }
    std::int64_t MaxPixels() const { return Budget; }

private:
    const TSkinPackage& Package;
    std::int64_t Budget;
    std::int64_t Decoded = 0;
    bool Over = false;
    // By entry index; a null image for an entry that did not decode, so it is tried once.
    std::unordered_map<std::size_t, QImage> Images;
};

} // namespace quillet::skin
