#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

// Names that other people choose (announced on the local network, sent in a greeting), as the
// program shows and compares them. Such a name must not look like another one while it differs
// from it, so what shows nothing is left out and blanks of every width are one plain blank.
namespace quillet::text {

// Characters that show nothing of their own and yet make two names differ: the format
// characters (Unicode's category Cf: the soft hyphen, the zero-width space and joiners, the word
// joiner, the byte order mark, the marks, embeddings, overrides and isolates of text direction,
// ...) and the other characters a renderer ignores (the Hangul fillers, variation selectors, the
// combining grapheme joiner, and the code points Unicode keeps for more of them).
bool IsInvisible(char32_t c) noexcept;

// The space separators (Unicode's category Zs): the blank, the no-break space and their wider
// and narrower kin.
bool IsBlank(char32_t c) noexcept;

// What becomes of bytes that are not well-formed UTF-8.
enum class TInvalidUtf8 {
    Replace, // each such byte is shown as U+FFFD
    Drop,
};

// `name` as it is shown: control characters (C0, DEL, C1), the line and paragraph separators and
// invisible characters left out, every run of blanks one blank (U+0020), none at either end, and
// cut at a character boundary to at most `maxBytes` bytes, never with a blank at the end. The
// result is valid UTF-8 and may be empty.
std::string VisibleName(std::string_view name, TInvalidUtf8 invalid = TInvalidUtf8::Replace,
    std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

} // namespace quillet::text
