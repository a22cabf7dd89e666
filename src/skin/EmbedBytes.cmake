# cmake -DINPUT=<file> -DOUTPUT=<source> -P EmbedBytes.cmake
# Writes the bytes of INPUT into OUTPUT as the C++ array quillet::skin::BuiltinSkinBytes, with its
# size in BuiltinSkinSize.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
# Sixteen bytes a line.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated at build time from the built-in skin package. Do not edit.
#include <cstddef>

namespace quillet::skin {
extern const unsigned char BuiltinSkinBytes[];
extern const std::size_t BuiltinSkinSize;
const unsigned char BuiltinSkinBytes[] = {
${bytes}
};
const std::size_t BuiltinSkinSize = ${size};
} // namespace quillet::skin
")
