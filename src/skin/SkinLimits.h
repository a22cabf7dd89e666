#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet::skin {

// What one skin may cost. A skin is read whole at start and kept for the whole run, so a skin
// file made to be expensive must not be able to take the program's memory. Real skins stay far
// below both limits: a description of a few KiB, a few hundred thousand pixels of bitmaps. The
// skin tool refuses to pack a description the program would refuse.
struct TSkinLimits {
    // The description is split into lines and searched at every lookup.
    std::size_t MaxDescriptionBytes = std::size_t { 1024 } * 1024;
    // All decoded bitmaps together, each entry counted once however many parts name it: 8 Mi
    // pixels are 32 MiB.
    std::int64_t MaxDecodedPixels = std::int64_t { 8 } * 1024 * 1024;
};

// The fragment the name of a package's skin description contains: the first entry whose
// (lower-case) name contains it is the description.
inline constexpr const char* DescriptionFragment = ".ini";

} // namespace quillet::skin
