#pragma once

#include <QImage>

#include <cstdint>
#include <span>

namespace quillet::skin {

// Limits for the bitmaps of a skin package. The bytes come from a file the user chose, so every
// size is checked before anything is decoded. Skin bitmaps are strips of small frames; these
// limits are far above any real one.
struct TSkinBitmapLimits {
    static constexpr std::size_t MaxFileBytes = std::size_t { 16 } * 1024 * 1024;
    static constexpr int MaxSide = 4096;
    static constexpr qint64 MaxPixels = qint64 { 4 } * 1024 * 1024;
    // Megabytes any one image decode may allocate (Qt's image reader refuses beyond it).
    static constexpr int AllocationLimitMb = 32;
};

// A skin bitmap from the bytes of a whole ".bmp" file, in Format_RGB32. Anything that is not a
// bitmap Qt's BMP reader accepts, or whose header promises an image beyond the limits, gives a
// null image; the part it belongs to is then drawn without the skin.
QImage DecodeSkinBitmap(std::span<const std::uint8_t> bytes);

// The size the bitmap's header promises, read without decoding a pixel; an empty size for bytes
// that DecodeSkinBitmap refuses before decoding.
QSize SkinBitmapSize(std::span<const std::uint8_t> bytes);

} // namespace quillet::skin
